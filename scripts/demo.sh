#!/usr/bin/env bash
# The demo: builds the Windows programs, installs the tray client into a throwaway Wine prefix,
# runs it for a few seconds, closes it as a user would and prints its decoded log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
echo "== building the Windows programs (win64)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target corvtray postmsg >/dev/null

export WINEPREFIX=$(mktemp -d /tmp/corv-demo.XXXXXX)
export WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"' EXIT
echo "== creating a throwaway Wine prefix in $WINEPREFIX"
scripts/wine-prefix.sh "$WINEPREFIX"
wineserver -p 60 </dev/null >/dev/null 2>&1

home_win='C:\Program Files\Corvane'
home_unix="$WINEPREFIX/drive_c/Program Files/Corvane"
mkdir -p "$home_unix"
cp build/win64/bin/corvtray.exe build/win64/bin/jnibridge.dll "$home_unix/"
echo "== installed corvtray.exe into $home_win"

prefs='HKCU\SOFTWARE\Velmora\Corvane\Preferences'
wine reg add "$prefs" /v Home /t REG_SZ /d "$home_win" /f >/dev/null
wine reg add "$prefs" /v UserId /t REG_SZ /d demo-user /f >/dev/null
wine reg add "$prefs" /v Passwd /t REG_SZ /d 0cc175b9c0f1b6a831c399e269772661 /f >/dev/null
wine reg add "$prefs" /v LaunchAtStartup /t REG_DWORD /d 0 /f >/dev/null
echo "== per-user preferences written:"
wine reg query "$prefs" 2>/dev/null | tr -d '\r' | sed 's/^/   /'

echo "== starting corvtray.exe"
wine "$home_unix/corvtray.exe" </dev/null >/dev/null 2>&1 &
tray=$!
sleep 4
echo "== closing it as the installer would (its quit message)"
wine build/win64/tests/postmsg.exe Corvane 33518 10 </dev/null >/dev/null 2>&1 || echo "   (window not found)"
for _ in $(seq 1 100); do kill -0 $tray 2>/dev/null || break; sleep 0.1; done
kill -0 $tray 2>/dev/null && { echo "   corvtray did not end; stopping it"; kill $tray; }

echo "== decoded log: $home_win\\logs\\start0.log"
if [ -f "$home_unix/logs/start0.log" ]; then
    python3 scripts/decode-log.py "$home_unix/logs/start0.log" | sed 's/^/   /'
else
    echo "   no log was written"
    exit 1
fi
