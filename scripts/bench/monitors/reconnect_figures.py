#!/usr/bin/env python3
"""Where the time of a reconnect goes, from the two copies' logs (plain-text form).

Usage: reconnect_figures.py <change time, ISO local> <old copy's log> <new copy's log>
"""
import datetime
import re
import sys

STAMP = re.compile(r"\[(\d+)-(\d+)-(\d+) (\d+):(\d+):(\d+),(\d+)\]  ")


def when(line):
    """The time the line was logged: a queued line's own stamp when it carries one."""
    stamps = STAMP.findall(line)
    if not stamps:
        return None
    y, mo, d, h, mi, s, ms = map(int, stamps[-1])
    return datetime.datetime(y, mo, d, h, mi, s, ms * 1000)


def lines_of(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.readlines()


def main():
    changed = datetime.datetime.fromisoformat(sys.argv[1])
    logs = {"old": lines_of(sys.argv[2]), "new": lines_of(sys.argv[3])}
    # Each step is the first matching line after the step before it in the same log; "next"
    # takes the line that follows the match (the end of a wait that the match begins).
    steps = [
        ("release monitor's poll notices the loss", "old", "ReleaseMonitor, IP address changed", False),
        ("address choice (probes and its 1 s wait)", "old", "GetActiveAddress returned: ", False),
        ("restart counter and new process started", "old", '/Reconnect" with pid: ', False),
        ("old copy closes", "old", "~CCorvanApp Exiting at ", False),
        ("new copy's first line", "new", "ProgramName: ", False),
        ("new copy waits for the old one (and its 500 ms pause)", "new", "Windows Version: ", True),
        ("new copy's start-up to its launcher thread", "new", "JavaLauncher started thread", False),
    ]
    cursor = {"old": 0, "new": 0}
    print("address change to the new copy's launcher start:")
    last = changed
    for name, log, text, following in steps:
        lines = logs[log]
        i = cursor[log]
        while i < len(lines) and text not in lines[i]:
            i += 1
        if i == len(lines):
            sys.exit(f"{log} log: no line with {text!r}")
        if following:
            i += 1
        cursor[log] = i + 1
        at = when(lines[i])
        print(f"  {name}: +{(at - last).total_seconds():.2f} s")
        last = at
    print(f"  total: {(last - changed).total_seconds():.2f} s")


if __name__ == "__main__":
    main()
