#!/usr/bin/env bash
# Builds the description reader's libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it. Usage: scripts/fuzz-description.sh [seconds] [extra libFuzzer args]
# New inputs go to build/fuzz-description/corpus; the seeds in the repository stay as they are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
out=$root/build/fuzz-description
mkdir -p "$out/corpus"

sources=(
    "$root/installer/description/fuzz/description_fuzz.cpp"
    $(ls "$root"/installer/description/*.cpp | grep -v '_test\.cpp$')
    $(ls "$root"/installer/sys/*.cpp | grep -v '_test\.cpp$')
    $(ls "$root"/platform/src/*.cpp "$root"/platform/posix/*.cpp | grep -v '_test\.cpp$')
)
binary=$out/description_fuzz
if [ ! -x "$binary" ] || [ -n "$(find "${sources[@]}" "$root/installer" "$root/platform/include" \
        -newer "$binary" \( -name '*.cpp' -o -name '*.h' \) -print -quit)" ]; then
    echo "building $binary"
    clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$root" -I"$root/platform/include" "${sources[@]}" -o "$binary" -lpthread -ldl
fi

cd "$out"
exec "$binary" "$out/corpus" "$root/installer/description/fuzz/corpus" \
    -dict="$root/installer/description/fuzz/description.dict" -max_len=8192 \
    -max_total_time="$seconds" -print_final_stats=1 "$@"
