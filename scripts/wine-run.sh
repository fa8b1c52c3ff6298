#!/usr/bin/env bash
# ctest's emulator for the win64 build: runs a Windows program under wine in the test prefix.
# The prefix is $WINEPREFIX when set, else build/wineprefix (created on first use).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# Probes never leave the loopback range, whoever runs a program this way.
export CORVANE_PROBE_SERVERS=${CORVANE_PROBE_SERVERS:-localhost,127.0.0.1;localhost,127.0.0.2}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
[ -f "$WINEPREFIX/.corv-ready" ] || "$here/wine-prefix.sh" "$WINEPREFIX"
# Keep the server alive between test programs so each one starts fast. Wine's helper
# processes outlive the program and inherit its handles, so the program's output goes
# through files: a caller waiting on our pipes would otherwise wait for the helpers too.
wineserver -p 120 </dev/null >/dev/null 2>&1 || true
out=$(mktemp) err=$(mktemp)
wine "$@" </dev/null >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
