#!/usr/bin/env bash
# Creates a Wine prefix for the tests (null graphics driver) if it is not there yet.
# Usage: wine-prefix.sh <prefix>   — prints nothing on success.
set -euo pipefail
prefix=${1:?prefix folder}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.corv-ready" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.corv-ready"
fi
