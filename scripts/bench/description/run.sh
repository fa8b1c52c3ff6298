#!/usr/bin/env bash
# Builds the description benchmark (optimised, no sanitizers) and runs it.
# Usage: scripts/bench/description/run.sh [items]   (default 20000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=$root/build/bench-description
mkdir -p "$out"
sources=(
    "$root/scripts/bench/description/bench_description.cpp"
    $(ls "$root"/installer/description/*.cpp | grep -v '_test\.cpp$')
    $(ls "$root"/installer/sys/*.cpp | grep -v '_test\.cpp$')
    $(ls "$root"/platform/src/*.cpp "$root"/platform/posix/*.cpp | grep -v '_test\.cpp$')
)
g++ -std=c++17 -O2 -DNDEBUG -I"$root" -I"$root/platform/include" "${sources[@]}" \
    -o "$out/bench_description" -lpthread -ldl
"$out/bench_description" "${1:-20000}" "$out"
