#!/usr/bin/env bash
# Builds the install benchmark (optimised, no sanitizers) natively and for 64-bit Windows, and
# runs it: natively against "cp -r", under Wine against "xcopy" in the same prefix.
# Usage: scripts/bench/install/run.sh [files] [megabytes]   (default 2000 files, 200 MB)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=$root/build/bench-install
mkdir -p "$out"
installer=$(ls "$root"/installer/{sys,description,manager,job}/*.cpp | grep -v '_test\.cpp$')
common="$root/scripts/bench/install/bench_install.cpp $installer $(ls "$root"/platform/src/*.cpp | grep -v '_test\.cpp$')"

g++ -std=c++17 -O2 -DNDEBUG -I"$root" -I"$root/platform/include" $common \
    $(ls "$root"/platform/posix/*.cpp | grep -v '_test\.cpp$') \
    -o "$out/bench_install" -lpthread -ldl
echo "== native"
"$out/bench_install" "${1:-2000}" "${2:-200}"

x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -DNDEBUG -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
    -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -D_WIN32_IE=0x0600 -I"$root" -I"$root/platform/include" \
    $common $(ls "$root"/platform/win32/*.cpp | grep -v '_test\.cpp$') \
    -o "$out/bench_install.exe" -static -static-libgcc -static-libstdc++ \
    -ladvapi32 -luser32 -lgdi32 -lcomctl32 -lversion -lws2_32 -lshell32 -lole32 -luuid -lpsapi
echo "== under Wine"
"$root/scripts/wine-run.sh" "$out/bench_install.exe" "${1:-2000}" "${2:-200}"
