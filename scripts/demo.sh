#!/usr/bin/env bash
# The demo: builds the Windows programs, installs the tray client into a throwaway Wine prefix,
# runs its whole bring-up, shows what it published and prints its decoded log.
# `scripts/demo.sh --native` runs the Java launcher with the real OpenJDK instead.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--native" ]; then exec bash scripts/demo-native.sh; fi
bash scripts/setup.sh
echo "== building the Windows programs (win64)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target corvtray postmsg corvane_client corv_fake_jvm >/dev/null

export WINEPREFIX=$(mktemp -d /tmp/corv-demo.XXXXXX)
export WINEDEBUG=-all
# The address probes talk only to loopback targets.
export CORVANE_PROBE_SERVERS='localhost,127.0.0.1;localhost,127.0.0.2'
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"' EXIT
echo "== creating a throwaway Wine prefix in $WINEPREFIX"
scripts/wine-prefix.sh "$WINEPREFIX"
wineserver -p 60 </dev/null >/dev/null 2>&1

home_win='C:\Program Files\Corvane'
home_unix="$WINEPREFIX/drive_c/Program Files/Corvane"
mkdir -p "$home_unix/lib"
cp build/win64/bin/corvtray.exe build/win64/bin/jnibridge.dll "$home_unix/"
cp build/win64/bin/lib/corvane.client.jar "$home_unix/lib/"
echo "== installed corvtray.exe, jnibridge.dll and lib\\corvane.client.jar into $home_win"

reg() { wine reg "$@" </dev/null 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/   /'; }
prefs='HKCU\SOFTWARE\Velmora\Corvane\Preferences'
javaprefs='HKCU\Software\JavaSoft\Prefs\corvane\proxyclient'
reg add "$prefs" /v Home /t REG_SZ /d "$home_win" /f >/dev/null
reg add "$prefs" /v UserId /t REG_SZ /d demo-user /f >/dev/null
reg add "$prefs" /v Passwd /t REG_SZ /d 0cc175b9c0f1b6a831c399e269772661 /f >/dev/null
reg add "$prefs" /v UseProxy /t REG_DWORD /d 1 /f >/dev/null
reg add "$prefs" /v NoProxy /t REG_DWORD /d 1 /f >/dev/null
reg add "$javaprefs\\/Sip" /v 'always/Tunnel/Media' /t REG_SZ /d yes /f >/dev/null
reg add "$javaprefs\\/Logger" /v 'log/File/Count' /t REG_SZ /d 3 /f >/dev/null
echo "== per-user preferences (an account; UseProxy and NoProxy both set, to be repaired):"
reg query "$prefs"
echo "== sample Java preferences:"
reg query 'HKCU\Software\JavaSoft\Prefs\corvane' /s

# A stand-in Windows Messenger set up for this user: the settings it would have of its own.
wm='HKCU\Software\Microsoft\MessengerService'
reg add "$wm" /v PrimaryService /t REG_SZ /d "Microsoft RTC Instant Messaging" /f >/dev/null
reg add "$wm" /v MSNState /t REG_BINARY /d 00000000 /f >/dev/null
reg add "$wm" /v ProxyState /t REG_BINARY /d 00000000 /f >/dev/null
reg add "$wm" /v SOCKS5Port /t REG_BINARY /d 1f050000 /f >/dev/null
reg add "$wm" /v SOCKS5Server /t REG_SZ /d localhost /f >/dev/null
reg add "$wm" /v SOCKS5Username /t REG_SZ /d alice /f >/dev/null
# Sorted exports compare the values; a value put back moves to the end of the key's listing.
export_wm() { wine reg export "$wm" "$1" /y >/dev/null 2>&1; iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r' | sed '1d;/^$/d' | sort; }
export_wm "$WINEPREFIX/wm-before.reg" > "$WINEPREFIX/wm-before.txt"
echo "== a stand-in Windows Messenger, set up for this user before the run:"
reg query "$wm"

echo "== starting corvtray.exe"
wine "$home_unix/corvtray.exe" </dev/null >/dev/null 2>&1 &
tray=$!
sleep 10
echo "== while it runs: the status it published (HKCU\\...\\Settings)"
reg query 'HKCU\SOFTWARE\Velmora\Corvane\Settings'
echo "   (No Windows Java runtime can be installed here, so the status honestly reads"
echo "    \"Disabled: Java 1.4.2 is not installed\": the client runs on and says what is missing.)"
echo "== while it runs, Windows Messenger points at the proxy client's SOCKS port (SOCKS5Port is"
echo "   little-endian: 38 04 = 1080, it was 1f 05 = 1311; the stored user name is gone):"
reg query "$wm"
echo "   and the backup it recorded before changing anything (restored at the next start if"
echo "   this run died):"
reg query 'HKCU\SOFTWARE\Velmora\Corvane\Settings' /v 'ClientBackup Windows Messenger' | cut -c1-110
echo "== the Run entry it keeps for logon:"
reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v VelmoraCorvan
echo "== the Java preferences tree it synchronised:"
reg query 'HKCU\Software\JavaSoft\Prefs\corvane' /s
echo "== the preferences it repaired and saved (AutoDetection on, UseProxy/NoProxy off):"
reg query "$prefs"

echo "== asking it to quit, as the installer does (message 33518)"
wine build/win64/tests/postmsg.exe Corvane 33518 10 </dev/null >/dev/null 2>&1 || echo "   (window not found)"
for _ in $(seq 1 150); do kill -0 $tray 2>/dev/null || break; sleep 0.1; done
kill -0 $tray 2>/dev/null && { echo "   corvtray did not end; stopping it"; kill $tray; }
echo "== after exit, Settings holds no status values and no backup any more:"
reg query 'HKCU\SOFTWARE\Velmora\Corvane\Settings' || true
echo "== and Windows Messenger has exactly its own settings again:"
reg query "$wm"
export_wm "$WINEPREFIX/wm-after.reg" > "$WINEPREFIX/wm-after.txt"
if cmp -s "$WINEPREFIX/wm-before.txt" "$WINEPREFIX/wm-after.txt"; then
    echo "   (every value is byte for byte what it was before the run)"
else
    echo "   differences from before the run:"
    diff "$WINEPREFIX/wm-before.txt" "$WINEPREFIX/wm-after.txt" | sed 's/^/   /' || true
    exit 1
fi

echo "== decoded log: $home_win\\logs\\start0.log"
if [ -f "$home_unix/logs/start0.log" ]; then
    python3 scripts/decode-log.py "$home_unix/logs/start0.log" | sed 's/^/   /'
else
    echo "   no log was written"
    exit 1
fi

echo
echo "== a reconnect: the address the program sees changes while the client runs"
echo "   The program reads its machine's addresses from a host table file for this part"
echo "   (CORVANE_HOST_TABLE, loopback addresses only). The release monitor only watches a"
echo "   started Java client, and no Windows Java runtime can be had here, so the client runs"
echo "   with the tests' stand-in jvm.dll: a test double that answers like a client, not Java."
hosts_unix="$WINEPREFIX/drive_c/corv-hosts.txt"
export CORVANE_HOST_TABLE='C:\corv-hosts.txt'
set_hosts() { echo "corvhost $1" >"$hosts_unix.new" && mv "$hosts_unix.new" "$hosts_unix"; }
active_address() {
    wine reg query 'HKCU\SOFTWARE\Velmora\Corvane\Settings' /v ActiveIpAddress </dev/null 2>/dev/null |
        tr -d '\r' | awk '$1 == "ActiveIpAddress" { print $3 }'
}
wait_for_address() {
    for _ in $(seq 1 600); do [ "$(active_address)" = "$1" ] && return 0; sleep 0.1; done
    echo "   the client did not publish $1"; return 1
}
mkdir -p "$home_unix/jre-1.4.2/bin/client"
cp build/win64/tray/java/fakejre/bin/client/jvm.dll "$home_unix/jre-1.4.2/bin/client/"
set_hosts 127.0.0.5
echo "== the machine's address is 127.0.0.5; starting corvtray.exe"
wine "$home_unix/corvtray.exe" </dev/null >/dev/null 2>&1 &
wait_for_address 127.0.0.5
echo "   the client is up on 127.0.0.5 (ActiveIpAddress), its release monitor watches it"
echo "== the address changes to 127.0.0.6"
set_hosts 127.0.0.6
wait_for_address 127.0.0.6
echo "   a new copy came up and published 127.0.0.6"
wine build/win64/tests/postmsg.exe Corvane 33518 10 </dev/null >/dev/null 2>&1 || true
sleep 3
rm -rf "$home_unix/jre-1.4.2"
show() {
    python3 scripts/decode-log.py "$1" | grep -E "$2" | sed 's/^/   /'
}
echo "== the old copy's log ($home_win\\logs\\start1.log):"
show "$home_unix/logs/start1.log" \
    'ReleaseMonitor|GetActiveAddress returned|OnIpAddrReleased|nrestarts|/Reconnect|OnClose|Exiting at'
echo "== the new copy's log ($home_win\\logs\\start0.log):"
show "$home_unix/logs/start0.log" \
    'ProgramName|Start Registry Monitor|JavaLauncher started|Active Address|Set active ip|Exiting at'

# The windows the user works with, as pictures: a first start's account dialog, the main window,
# every page of the preferences sheet and its dialogs, the tray menu; at 96 and at 120 dpi.
shots=build/demo-output/screenshots
echo "== screenshots of every window into $shots (96 dpi) and $shots-120dpi"
scripts/screenshot.sh build/win64 "$shots" | sed 's/^/   /'
CORV_SHOT_DPI=120 scripts/screenshot.sh build/win64 "$shots-120dpi" | sed 's/^/   /'
