#!/usr/bin/env python3
"""Holds the imports of Windows binaries to the reviewed list.

check_imports.py --objdump OBJDUMP --list imports.txt --floor 2000 BINARY...

Every function a binary imports must be on the list, and the oldest Windows that has it must
not be newer than the floor: the loader refuses a program whose imports it cannot resolve, so
one newer import keeps the program from starting at all. Exit 0 when all binaries pass, 1 when
one does not, 2 when the list or a binary cannot be read.
"""

import argparse
import os
import re
import subprocess
import sys

# Oldest first. Only the NT family: the programs use the wide-character API.
VERSIONS = ["nt3.1", "nt3.51", "nt4", "2000", "xp", "2003", "vista", "7", "8", "8.1", "10"]
# Our own DLLs, shipped beside the programs.
OURS = "ours"


class ListError(Exception):
    pass


def windows_name(version):
    if version.startswith("nt"):
        return "Windows NT " + version[2:]
    if version == "2003":
        return "Windows Server 2003"
    return "Windows " + ("XP" if version == "xp" else "Vista" if version == "vista" else version)


def strip_comment(raw):
    """A comment starts with "#" at the beginning or after a blank; "#12" names an ordinal."""
    line = raw.strip()
    if line.startswith("#") and not re.match(r"#\d", line):
        return ""
    return re.sub(r"\s+#(\s.*)?$", "", line)


def read_list(path):
    """{dll (lower case): {function: version}} from lines "[DLL]" and "function version"."""
    table = {}
    dll = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = strip_comment(raw)
            if not line:
                continue
            where = "%s:%d" % (path, number)
            m = re.fullmatch(r"\[([^\]\s]+)\]", line)
            if m:
                dll = m.group(1).lower()
                table.setdefault(dll, {})
                continue
            if line.startswith("["):
                raise ListError("%s: a DLL line is \"[NAME.dll]\", not %r" % (where, line))
            fields = line.split()
            if dll is None:
                raise ListError("%s: %r comes before any \"[NAME.dll]\" line" % (where, line))
            if len(fields) != 2:
                raise ListError("%s: expected \"function oldest-windows\", got %r" % (where, line))
            function, version = fields
            if version not in VERSIONS and version != OURS:
                raise ListError("%s: unknown Windows version %r for %s (one of: %s, %s)"
                                % (where, version, function, " ".join(VERSIONS), OURS))
            if function in table[dll]:
                raise ListError("%s: %s is listed twice under [%s]" % (where, function, dll))
            table[dll][function] = version
    return table


def read_imports(objdump, binary):
    """[(dll, function)] from objdump -p; an import by ordinal N is "#N"."""
    try:
        out = subprocess.run([objdump, "-p", binary], check=True, capture_output=True,
                             text=True).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        raise ListError("cannot read the imports of %s with %s: %s" % (binary, objdump, e))
    imports = []
    dll = None
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1)
            continue
        if not line.strip():
            dll = None  # a blank line ends the DLL's entries
            continue
        # "\t<vma>\t <hint>  <name>" or, by ordinal, "\t<vma>\t <ordinal>  <none>"
        m = re.match(r"\t[0-9a-fA-F]+\t\s*(\d+)\s+(\S+)", line)
        if dll and m:
            name = "#" + m.group(1) if m.group(2) == "<none>" else m.group(2)
            imports.append((dll, name))
    if not imports:
        # Every Windows program imports something: the output was not understood.
        raise ListError("found no imports in %s; is %s an objdump for it?" % (binary, objdump))
    return imports


def check(imports_of, table, floor, list_path):
    """One message per refused import, naming the binaries that import it."""
    limit = VERSIONS.index(floor)
    refused = {}  # (dll, function) -> (binaries, reason)
    for binary, imports in imports_of:
        for dll, function in imports:
            version = table.get(dll.lower(), {}).get(function)
            if version is None:
                reason = ("which is not on the reviewed list %s: find the oldest Windows that "
                          "has it and add it there, or avoid it" % list_path)
            elif version != OURS and VERSIONS.index(version) > limit:
                reason = ("which needs %s or later: this build must load on %s"
                          % (windows_name(version), windows_name(floor)))
            else:
                continue
            names = refused.setdefault((dll, function), ([], reason))[0]
            if os.path.basename(binary) not in names:
                names.append(os.path.basename(binary))
    return ["%s import%s %s from %s, %s" % (", ".join(names), "" if len(names) > 1 else "s",
                                            function, dll, reason)
            for (dll, function), (names, reason) in refused.items()]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--list", required=True)
    parser.add_argument("--floor", required=True, choices=VERSIONS)
    parser.add_argument("binaries", nargs="+")
    args = parser.parse_args(argv)
    try:
        table = read_list(args.list)
        imports_of = [(b, read_imports(args.objdump, b)) for b in args.binaries]
    except (ListError, OSError) as e:
        print("import check: %s" % e, file=sys.stderr)
        return 2
    problems = check(imports_of, table, args.floor, args.list)
    names = ", ".join(os.path.basename(b) for b in args.binaries)
    if problems:
        for p in problems:
            print("import check: %s" % p, file=sys.stderr)
        print("import check FAILED: %s would not load on %s" % (names, windows_name(args.floor)),
              file=sys.stderr)
        return 1
    print("import check: %s load on %s" % (names, windows_name(args.floor)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
