#!/usr/bin/env bash
# Runs corvtray.exe under Xvfb in a throwaway Wine prefix and takes PNG screenshots of the
# screen: the main window with the built-in picture, the tray menu opened as a right click on
# the icon would, the about box, the main window with a picture file in Home, and the popup
# notifier with a sample text.
#
#   scripts/screenshot.sh [build-folder] [output-folder]
#
# build-folder defaults to build/win64 (corvtray.exe, postmsg.exe and notifier_show.exe are
# built when missing); the pictures go to output-folder (default build/screenshots):
# main-window.png, tray-menu.png, about-box.png, main-window-file-picture.png, notifier.png.
# Extra registry values for the run: CORV_SHOT_REG="Name=Value;..." (DWORDs under Preferences).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win64}
out=${2:-build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
[ -f "$build/bin/corvtray.exe" ] && [ -f "$build/tests/postmsg.exe" ] &&
    [ -f "$build/tests/notifier_show.exe" ] ||
    cmake --build "$build" --target corvtray postmsg notifier_show >/dev/null
build=$(cd "$build" && pwd)

if [ -z "${CORV_IN_XVFB:-}" ]; then
    export CORV_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out"
fi

export WINEPREFIX=$(mktemp -d /tmp/corv-shot.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
}
trap cleanup EXIT
scripts/wine-prefix.sh "$WINEPREFIX"
# A real display this time: the x11 driver instead of the null one, and a virtual desktop
# named "shell", which has a taskbar with the notification area.
wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null
wineserver -w
wineserver -p 60 </dev/null >/dev/null 2>&1

home_unix="$WINEPREFIX/drive_c/Program Files/Corvane"
mkdir -p "$home_unix"
cp "$build/bin/corvtray.exe" "$build/bin/jnibridge.dll" "$home_unix/"
: >"$home_unix/readme.htm"
prefs='HKCU\SOFTWARE\Velmora\Corvane\Preferences'
wine reg add "$prefs" /v Home /t REG_SZ /d 'C:\Program Files\Corvane' /f >/dev/null
IFS=';' read -ra extra <<<"${CORV_SHOT_REG:-}"
for kv in "${extra[@]}"; do
    [ -n "$kv" ] && wine reg add "$prefs" /v "${kv%%=*}" /t REG_DWORD /d "${kv#*=}" /f >/dev/null
done

postmsg() { wine "$build/tests/postmsg.exe" "$@" </dev/null >/dev/null 2>&1; }
start_tray() {
    wine "$home_unix/corvtray.exe" </dev/null >/dev/null 2>&1 &
    tray=$!
    postmsg Corvane 0 20 || { echo "screenshot: corvtray did not come up" >&2; exit 1; }
}
stop_tray() {
    postmsg Corvane 33518 5 || true
    for _ in $(seq 1 50); do kill -0 $tray 2>/dev/null || break; sleep 0.2; done
}

start_tray
# A status text as the Java client would send it arrives through the status message; here the
# window's own idle text stands.
sleep 3
import -window root "$out/main-window.png"
# 33418 with WM_RBUTTONDOWN (516): the tray icon's right click.
postmsg Corvane 33418 5 0 516 || true
sleep 2
import -window root "$out/tray-menu.png"
postmsg Corvane 31 || true  # WM_CANCELMODE closes the menu
# WM_COMMAND (273) with "About Corvane..." (57664), then its OK (1).
postmsg Corvane 273 5 57664 || true
sleep 2
import -window root "$out/about-box.png"
postmsg "About Corvane" 273 5 1 || true
stop_tray

# A picture file in Home: drawn instead of the built-in one, on the lighter blue.
cp resources/logo.bmp "$home_unix/ZUvedARov.bmp"
start_tray
sleep 3
import -window root "$out/main-window-file-picture.png"
stop_tray

# The popup notifier, as older Windows versions show balloons.
wine "$build/tests/notifier_show.exe" 8 \
    'Corvane\nSigned-in as alice. Calls and messages now go through the Corvane server.' \
    </dev/null >/dev/null 2>&1 &
sleep 3
import -window root "$out/notifier.png"
wait
echo "screenshots: $out/main-window.png $out/tray-menu.png $out/about-box.png" \
    "$out/main-window-file-picture.png $out/notifier.png"
if [ -n "${CORV_SHOT_LOG:-}" ] && [ -f "$home_unix/logs/start0.log" ]; then
    python3 scripts/decode-log.py "$home_unix/logs/start0.log"
fi
