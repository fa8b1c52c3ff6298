#!/usr/bin/env bash
# Runs corvtray.exe under Xvfb in a throwaway Wine prefix and takes PNG screenshots of the
# screen, one per window:
#
#   scripts/screenshot.sh [build-folder] [output-folder] [target...]
#
# Targets, in the order they are taken (default: all):
#   account      the account dialog of a first start (then cancelled)
#   main         the main window                                   -> main-window.png
#   general accounts connection clients sip
#                the pages of the preferences sheet                -> prefs-<page>.png
#   proxy-auth   the proxy authentication dialog (Connection page's Edit...)
#   advanced     the advanced client settings (Clients page's Advanced...)
#   tray         the tray menu opened as a right click on the icon would -> tray-menu.png
#   about        the about box                                     -> about-box.png
#   picture      the main window with a picture file in Home       -> main-window-file-picture.png
#   notifier     the popup notifier with a sample text             -> notifier.png
# build-folder defaults to build/win64 (corvtray.exe, postmsg.exe and notifier_show.exe are
# built when missing);
# the pictures go to output-folder (default build/screenshots).
# Extra registry values for the run: CORV_SHOT_REG="Name=Value;..." (DWORDs under Preferences).
# CORV_SHOT_DPI=120 draws the screen at 120 dots per inch instead of 96.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win64}
out=${2:-build/screenshots}
shift $(($# < 2 ? $# : 2))
targets=${*:-account main general accounts connection clients sip proxy-auth advanced tray about picture notifier}
mkdir -p "$out"
out=$(cd "$out" && pwd)
[ -f "$build/bin/corvtray.exe" ] && [ -f "$build/tests/postmsg.exe" ] &&
    [ -f "$build/tests/notifier_show.exe" ] ||
    cmake --build "$build" --target corvtray postmsg notifier_show >/dev/null
build=$(cd "$build" && pwd)

if [ -z "${CORV_IN_XVFB:-}" ]; then
    export CORV_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out" $targets
fi

export WINEPREFIX=$(mktemp -d /tmp/corv-shot.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
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
if [ -n "${CORV_SHOT_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$CORV_SHOT_DPI" /f \
        >/dev/null
fi
wineserver -w
wineserver -p 60 </dev/null >/dev/null 2>&1

home_unix="$WINEPREFIX/drive_c/Program Files/Corvane"
mkdir -p "$home_unix"
cp "$build/bin/corvtray.exe" "$build/bin/jnibridge.dll" "$home_unix/"
: >"$home_unix/readme.htm"
prefs='HKCU\SOFTWARE\Velmora\Corvane\Preferences'
wine reg add "$prefs" /v Home /t REG_SZ /d 'C:\Program Files\Corvane' /f >/dev/null
# The account is asked for at the first start; without that target the run has one.
if [[ " $targets " != *" account "* ]]; then
    wine reg add "$prefs" /v UserId /t REG_SZ /d demo-user /f >/dev/null
    wine reg add "$prefs" /v Passwd /t REG_SZ /d 0cc175b9c0f1b6a831c399e269772661 /f >/dev/null
fi
wine reg add "$prefs" /v ProxyAuth /t REG_SZ /d 'cHJveHl1c2VyOnNlY3JldA==' /f >/dev/null
IFS=';' read -ra extra <<<"${CORV_SHOT_REG:-}"
for kv in "${extra[@]}"; do
    [ -n "$kv" ] && wine reg add "$prefs" /v "${kv%%=*}" /t REG_DWORD /d "${kv#*=}" /f >/dev/null
done

postmsg() { wine "$build/tests/postmsg.exe" "$@" </dev/null >/dev/null 2>&1; }
stop_tray() {
    postmsg Corvane 33518 5 || true
    for _ in $(seq 1 50); do kill -0 $tray 2>/dev/null || break; sleep 0.2; done
}
wine "$home_unix/corvtray.exe" </dev/null >/dev/null 2>&1 &
tray=$!
shots=()
shot() {
    sleep 2
    import -window root "$out/$1.png"
    shots+=("$out/$1.png")
}
wants() { [[ " $targets " == *" $1 "* ]]; }

readonly WM_COMMAND=273 PSM_SETCURSEL=1125 IDCANCEL=2
if wants account; then
    # A first start asks for the account before the window is ready; 0 posts nothing.
    postmsg Accounts 0 20 || { echo "screenshot: no account dialog" >&2; exit 1; }
    shot account-dialog
    postmsg Accounts $WM_COMMAND 5 $IDCANCEL
fi
postmsg Corvane 0 20 || { echo "screenshot: corvtray did not come up" >&2; exit 1; }
# A status text as the Java client would send it arrives through the status message; here the
# window's own text stands.
if wants main; then shot main-window; fi

pages=(general accounts connection clients sip)
sheet_open=
for i in "${!pages[@]}"; do
    page=${pages[$i]}
    if wants "$page" || { [ "$page" = connection ] && wants proxy-auth; } ||
        { [ "$page" = clients ] && wants advanced; }; then
        if [ -z "$sheet_open" ]; then
            postmsg Corvane $WM_COMMAND 5 144  # Preferences...
            sheet_open=1
        fi
        postmsg Preferences $PSM_SETCURSEL 10 "$i"
        if wants "$page"; then shot "prefs-$page"; fi
        if [ "$page" = connection ] && wants proxy-auth; then
            postmsg Preferences@page $WM_COMMAND 5 1052  # Edit...
            postmsg "HTTP proxy authentication" 0 10 && shot proxy-auth-dialog
            postmsg "HTTP proxy authentication" $WM_COMMAND 5 $IDCANCEL
        fi
        if [ "$page" = clients ] && wants advanced; then
            postmsg Preferences@page $WM_COMMAND 5 1090  # Advanced...
            postmsg "Advanced client settings" 0 10 && shot advanced-dialog
            postmsg "Advanced client settings" $WM_COMMAND 5 $IDCANCEL
        fi
    fi
done
if [ -n "$sheet_open" ]; then
    postmsg Preferences $WM_COMMAND 5 $IDCANCEL
    sleep 1
fi

if wants tray; then
    # 33418 with WM_RBUTTONDOWN (516): the tray icon's right click.
    postmsg Corvane 33418 5 0 516 || true
    shot tray-menu
    postmsg Corvane 31 || true  # WM_CANCELMODE closes the menu
fi
if wants about; then
    postmsg Corvane $WM_COMMAND 5 57664 || true  # About Corvane...
    shot about-box
    postmsg "About Corvane" $WM_COMMAND 5 1 || true
fi
stop_tray

if wants picture; then
    # A picture file in Home: drawn instead of the built-in one, on the lighter blue.
    cp resources/logo.bmp "$home_unix/ZUvedARov.bmp"
    wine "$home_unix/corvtray.exe" </dev/null >/dev/null 2>&1 &
    tray=$!
    postmsg Corvane 0 20 || { echo "screenshot: corvtray did not come up" >&2; exit 1; }
    shot main-window-file-picture
    stop_tray
fi
if wants notifier; then
    # The popup notifier, as older Windows versions show balloons.
    wine "$build/tests/notifier_show.exe" 8 \
        'Corvane\nSigned-in as alice. Calls and messages now go through the Corvane server.' \
        </dev/null >/dev/null 2>&1 &
    shot notifier
    wait
fi
echo "screenshots: ${shots[*]}"
if [ -n "${CORV_SHOT_LOG:-}" ] && [ -f "$home_unix/logs/start0.log" ]; then
    python3 scripts/decode-log.py "$home_unix/logs/start0.log"
fi
