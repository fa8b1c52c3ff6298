#!/usr/bin/env python3
"""The import check on small Windows binaries built here with the MinGW compilers.

Exit 0 when every case passes, 1 when one fails, 77 (skipped) without the compilers.
"""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "check_imports.py")

TICKS = r"""
#include <windows.h>
/* No C runtime: the imports are exactly the two below. */
int mainCRTStartup(void) { return (int)(GetTickCount64() + GetTickCount()); }
"""

# A DLL that imports ordfunc from ORDS.dll by ordinal only.
BY_ORDINAL = r"""
#include <windows.h>
__declspec(dllimport) int ordfunc(void);
BOOL WINAPI DllMainCRTStartup(HINSTANCE h, DWORD r, LPVOID p) {
    (void)h; (void)p;
    return r == 12345 ? ordfunc() : TRUE;
}
"""

ORDS_DEF = "LIBRARY ORDS.dll\nEXPORTS\nordfunc @5 NONAME\n"

LIST = """# the imports of the small binaries
[kernel32.dll]
GetTickCount nt3.1  # names ignore case: the binary says KERNEL32.dll
GetTickCount64 vista
[ORDS.dll]
#5 nt4
"""


def tool(arch, name):
    for suffix in ("", "-win32", "-posix"):
        path = shutil.which("%s-w64-mingw32-%s%s" % (arch, name, suffix))
        if path:
            return path
    return None


def build(work):
    """{name: (path, objdump)} of the binaries, or None without the tools."""
    tools = {a: {n: tool(a, n) for n in ("gcc", "objdump", "dlltool")}
             for a in ("i686", "x86_64")}
    if not all(p for t in tools.values() for p in t.values()):
        return None

    def write(name, text):
        path = os.path.join(work, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    ticks = write("ticks.c", TICKS)
    ordinal = write("ordinal.c", BY_ORDINAL)
    ords_def = write("ords.def", ORDS_DEF)
    out = {}
    for arch, t in tools.items():
        exe = os.path.join(work, "ticks-%s.exe" % arch)
        subprocess.run([t["gcc"], "-D_WIN32_WINNT=0x0600", "-nostdlib", "-o", exe, ticks,
                        "-lkernel32"], check=True)
        out["ticks-" + arch] = (exe, t["objdump"])
    t = tools["i686"]
    lib = os.path.join(work, "libords.a")
    subprocess.run([t["dlltool"], "-d", ords_def, "-l", lib], check=True)
    dll = os.path.join(work, "ordinal.dll")
    subprocess.run([t["gcc"], "-shared", "-nostdlib", "-o", dll, ordinal, lib], check=True)
    out["ordinal"] = (dll, t["objdump"])
    return out


# (case, binaries, list, floor, exit code, texts the output must hold)
CASES = [
    ("a Vista import is refused for the Windows 2000 floor", ["ticks-i686"], LIST, "2000", 1,
     ["ticks-i686.exe imports GetTickCount64 from KERNEL32.dll, which needs Windows Vista or "
      "later: this build must load on Windows 2000", "FAILED"]),
    ("the same program passes on Vista", ["ticks-i686"], LIST, "vista", 0,
     ["ticks-i686.exe load on Windows Vista"]),
    ("a program and a DLL pass together", ["ticks-i686", "ordinal"], LIST, "vista", 0,
     ["ticks-i686.exe, ordinal.dll load on Windows Vista"]),
    ("a 64-bit program passes the Windows 7 floor", ["ticks-x86_64"], LIST, "7", 0,
     ["ticks-x86_64.exe load on Windows 7"]),
    ("an import missing from the list is refused", ["ticks-x86_64"],
     LIST.replace("GetTickCount64 vista\n", ""), "10", 1,
     ["ticks-x86_64.exe imports GetTickCount64 from KERNEL32.dll, which is not on the reviewed "
      "list"]),
    ("an import by ordinal is matched by its number", ["ordinal"],
     LIST.replace("#5 nt4", "ordfunc nt4"), "2000", 1,
     ["ordinal.dll imports #5 from ORDS.dll, which is not on the reviewed list"]),
    ("an import by ordinal newer than the floor", ["ordinal"], LIST.replace("#5 nt4", "#5 xp"),
     "2000", 1, ["ordinal.dll imports #5 from ORDS.dll, which needs Windows XP or later"]),
    ("unknown version", ["ordinal"], LIST.replace("#5 nt4", "#5 xp2"), "2000", 2,
     ["imports.txt:6: unknown Windows version 'xp2' for #5"]),
    ("function before any DLL", ["ordinal"], "GetTickCount nt3.1\n" + LIST, "2000", 2,
     ["imports.txt:1: 'GetTickCount nt3.1' comes before any \"[NAME.dll]\" line"]),
    ("version missing", ["ordinal"], LIST.replace("#5 nt4", "#5"), "2000", 2,
     ["imports.txt:6: expected \"function oldest-windows\", got '#5'"]),
    ("listed twice", ["ordinal"], LIST + "[ords.dll]\n#5 2000\n", "2000", 2,
     ["imports.txt:8: #5 is listed twice under [ords.dll]"]),
    ("broken DLL line", ["ordinal"], LIST.replace("[ORDS.dll]", "[ORDS.dll"), "2000", 2,
     ["imports.txt:5: a DLL line is \"[NAME.dll]\""]),
]


def main():
    work = tempfile.mkdtemp(prefix="corv-imports-")
    try:
        binaries = build(work)
        if binaries is None:
            print("skipped: the MinGW compilers are not installed")
            return 77
        failures = 0
        for name, which, text, floor, code, expected in CASES:
            listing = os.path.join(work, "imports.txt")
            with open(listing, "w") as f:
                f.write(text)
            objdump = binaries[which[0]][1]
            # Each call checks binaries of one architecture, as a build does.
            run = subprocess.run([sys.executable, CHECK, "--objdump", objdump, "--list", listing,
                                  "--floor", floor] + [binaries[w][0] for w in which],
                                 capture_output=True, text=True)
            output = run.stdout + run.stderr
            missing = [e for e in expected if e not in output]
            if run.returncode != code or missing:
                failures += 1
                print("FAIL %s: exit %d (expected %d), missing %s\n%s"
                      % (name, run.returncode, code, missing, output))
            else:
                print("ok   %s" % name)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())
