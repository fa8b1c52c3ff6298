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


def first(path, text):
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if text in line:
                return when(line)
    sys.exit(f"{path}: no line with {text!r}")


def main():
    changed = datetime.datetime.fromisoformat(sys.argv[1])
    old, new = sys.argv[2], sys.argv[3]
    steps = [
        ("release monitor's poll notices the loss", first(old, "ReleaseMonitor, IP address changed")),
        ("address choice (probes and its 1 s wait)", first(old, "GetActiveAddress returned: ")),
        ("restart counter and new process started", first(old, '/Reconnect" with pid: ')),
        ("old copy closes", first(old, "~CCorvanApp Exiting at ")),
        ("new copy's first line", first(new, "ProgramName: ")),
        ("new copy done waiting for the old one (its 500 ms pause included)",
         first(new, "Windows Version: ")),
        ("new copy's start-up to its launcher thread", first(new, "JavaLauncher started thread")),
    ]
    # The wait for the old copy ends where the next line after "Windows Version" is logged.
    with open(new, encoding="utf-8", errors="replace") as f:
        lines = f.readlines()
    for i, line in enumerate(lines):
        if "Windows Version: " in line and i + 1 < len(lines):
            steps[5] = (steps[5][0], when(lines[i + 1]))
            break
    print("address change to the new copy's launcher start:")
    last = changed
    for name, at in steps:
        print(f"  {name}: +{(at - last).total_seconds():.2f} s")
        last = at
    print(f"  total: {(last - changed).total_seconds():.2f} s")


if __name__ == "__main__":
    main()
