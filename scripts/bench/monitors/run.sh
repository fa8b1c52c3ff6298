#!/usr/bin/env bash
# Benchmarks of the monitors; they print figures and assert nothing.
#   latency   address loss to "ReleaseMonitor, IP address changed", 20 losses, natively
#   idle      CPU of a running and of a waiting client over 120 s under Wine, beside an idle
#             notepad.exe in the same prefix (CORV_IDLE_SECONDS changes the span)
#   reconnect address change to the new copy's launcher start under Wine, and where it goes
# Usage: scripts/bench/monitors/run.sh [latency|idle|reconnect|all]
# Under Wine the client runs with the tests' stand-in jvm.dll (no Windows Java runtime can be
# had here) and sees the addresses of a host table file; everything stays on 127.0.0.0/8.
set -euo pipefail
cd "$(dirname "$0")/../../.."
what=${1:-all}
here=scripts/bench/monitors

latency() {
    local dir=${CORV_BENCH_DIR:-build/bench}
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCORV_SANITIZE=OFF -DCORV_TESTS=OFF >/dev/null
    cmake --build "$dir" -j2 --target monitors_bench >/dev/null
    CORVANE_PROBE_SERVERS='localhost,127.0.0.1;localhost,127.0.0.2' "$dir/tray/net/monitors_bench" 20
}

# A throwaway prefix with the client installed in C:\Corvane and a host table.
setup_wine() {
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 --target corvtray corv_fake_jvm >/dev/null
    export WINEPREFIX=$(mktemp -d /tmp/corv-bench.XXXXXX)
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    export CORVANE_PROBE_SERVERS='localhost,127.0.0.1;localhost,127.0.0.2'
    trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"' EXIT
    scripts/wine-prefix.sh "$WINEPREFIX"
    wineserver -p 600 </dev/null >/dev/null 2>&1
    home_unix="$WINEPREFIX/drive_c/Corvane"
    mkdir -p "$home_unix/jre-1.4.2/bin/client"
    cp build/win64/bin/corvtray.exe build/win64/bin/jnibridge.dll "$home_unix/"
    cp build/win64/tray/java/fakejre/bin/client/jvm.dll "$home_unix/jre-1.4.2/bin/client/"
    hosts_unix="$WINEPREFIX/drive_c/hosts.txt"
    export CORVANE_HOST_TABLE='C:\hosts.txt'
    set_hosts "127.0.0.5"
    local prefs='HKCU\SOFTWARE\Velmora\Corvane\Preferences'
    wine reg add "$prefs" /v Home /t REG_SZ /d 'C:\Corvane' /f >/dev/null 2>&1
    wine reg add "$prefs" /v UserId /t REG_SZ /d bench /f >/dev/null 2>&1
    wine reg add "$prefs" /v Passwd /t REG_SZ /d 0cc175b9c0f1b6a831c399e269772661 /f >/dev/null 2>&1
    # No messenger is set up: their synchronisation off, so that nothing asks about them.
    for v in SyncMessenger SyncMsnMessenger; do
        wine reg add "$prefs" /v $v /t REG_SZ /d 0 /f >/dev/null 2>&1
    done
    wine reg add "$prefs" /v DoNotSync /t REG_SZ /d 1 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\JavaSoft\Prefs\corvane\proxyclient\/Logger' /v log/Format1814 \
        /t REG_SZ /d ascii /f >/dev/null 2>&1
}

set_hosts() {  # replaced in one step
    echo "corvhost $*" >"$hosts_unix.new" && mv "$hosts_unix.new" "$hosts_unix"
}

settings_value() {
    wine reg query 'HKCU\SOFTWARE\Velmora\Corvane\Settings' /v "$1" </dev/null 2>/dev/null |
        tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'
}

wait_for_address() {  # the started client publishes its address
    for _ in $(seq 1 600); do
        [ "$(settings_value ActiveIpAddress)" = "$1" ] && return 0
        sleep 0.1
    done
    echo "the client did not publish $1" >&2
    return 1
}

quit_tray() {
    cmake --build --preset win64 --target postmsg >/dev/null
    wine build/win64/tests/postmsg.exe Corvane 33518 10 </dev/null >/dev/null 2>&1 || true
    sleep 3
}

# The process of this prefix whose command line names the program (Wine may start a program
# through a helper, so the shell's $! is not always the program itself).
pid_in_prefix() {
    for dir in /proc/[0-9]*; do
        tr '\0' '\n' <"$dir/cmdline" 2>/dev/null | head -1 | grep -qi "$1" || continue
        tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
        echo "${dir#/proc/}"
        return
    done
}

# user+system ticks of a process
ticks_of() {
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# The wineserver of this prefix: it works in the server folder named after the prefix's device
# and inode.
prefix_wineserver() {
    local dir
    dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for pid in $(pgrep -x wineserver64) $(pgrep -x wineserver); do
        case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$dir") echo "$pid"; return ;; esac
    done
}

idle() {
    setup_wine
    local span=${CORV_IDLE_SECONDS:-120} hz
    hz=$(getconf CLK_TCK)
    for scenario in running waiting; do
        if [ "$scenario" = waiting ]; then set_hosts; else set_hosts 127.0.0.5; fi
        wine 'C:\Corvane\corvtray.exe' </dev/null >/dev/null 2>&1 &
        local tray=$!
        wine notepad.exe </dev/null >/dev/null 2>&1 &
        local notepad=$!
        if [ "$scenario" = running ]; then wait_for_address 127.0.0.5; fi
        sleep 5
        local server trayPid notepadPid t0 n0 s0 t1 n1 s1
        server=$(prefix_wineserver)
        trayPid=$(pid_in_prefix 'corvtray.exe$')
        notepadPid=$(pid_in_prefix 'notepad.exe$')
        if [ -z "$trayPid" ] || [ -z "$notepadPid" ] || [ -z "$server" ]; then
            echo "could not find the processes to measure" >&2
            return 1
        fi
        t0=$(ticks_of "$trayPid"); n0=$(ticks_of "$notepadPid"); s0=$(ticks_of "$server")
        sleep "$span"
        t1=$(ticks_of "$trayPid"); n1=$(ticks_of "$notepadPid"); s1=$(ticks_of "$server")
        python3 - "$scenario" "$span" "$hz" "$t0" "$t1" "$n0" "$n1" "$s0" "$s1" <<'PY'
import sys
scenario, span, hz = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
t0, t1, n0, n1, s0, s1 = map(float, sys.argv[4:])
pct = lambda a, b: 100.0 * (b - a) / hz / span
what = "running client (release and registry monitors)" if scenario == "running" \
    else "waiting client (register and registry monitors)"
print(f"{what}: {pct(t0, t1):.3f} % of one core over {span:.0f} s")
print(f"  idle notepad.exe, same span: {pct(n0, n1):.3f} %; wineserver (shared): {pct(s0, s1):.3f} %")
print(f"  the client's increase over an idle Wine program: {pct(t0, t1) - pct(n0, n1):+.3f} % "
      f"(goal: at most 0.1 %)")
PY
        quit_tray
        kill $notepad 2>/dev/null || true
        wait $tray $notepad 2>/dev/null || true
    done
}

reconnect() {
    setup_wine
    wine 'C:\Corvane\corvtray.exe' </dev/null >/dev/null 2>&1 &
    wait_for_address 127.0.0.5
    sleep 3
    local changed
    changed=$(python3 -c 'import datetime; print(datetime.datetime.now().isoformat())')
    set_hosts 127.0.0.6
    wait_for_address 127.0.0.6
    quit_tray
    python3 "$here/reconnect_figures.py" "$changed" "$home_unix/logs/start1.log" \
        "$home_unix/logs/start0.log"
}

case "$what" in
    latency) latency ;;
    idle) idle ;;
    reconnect) reconnect ;;
    all) latency; (idle); (reconnect) ;;
    *) echo "usage: $0 [latency|idle|reconnect|all]" >&2; exit 2 ;;
esac
