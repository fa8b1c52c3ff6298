#!/usr/bin/env bash
# Like wine-run.sh, but for a real display (run it under xvfb-run): the prefix
# "$WINEPREFIX-x11" uses the x11 driver and a virtual desktop named "shell", whose taskbar
# has the notification area that tray icons need.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
base=${WINEPREFIX:-$here/../build/wineprefix}
export WINEPREFIX=$base-x11
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
if [ ! -f "$WINEPREFIX/.corv-x11" ]; then
    "$here/wine-prefix.sh" "$WINEPREFIX"
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.corv-x11"
fi
# Each run has its own display: no server may outlive it.
out=$(mktemp) err=$(mktemp)
wine "$@" </dev/null >"$out" 2>"$err"
rc=$?
wineserver -k >/dev/null 2>&1
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
