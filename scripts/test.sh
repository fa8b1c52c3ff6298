#!/usr/bin/env bash
# Builds all three configurations and runs every test: natively and under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

for preset in native win64 win32; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

echo "== test native"
ctest --preset native

echo "== test win64 (Wine)"
export WINEPREFIX=$(mktemp -d /tmp/corv-wine.XXXXXX)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"' EXIT
scripts/wine-prefix.sh "$WINEPREFIX"
ctest --preset win64
