#!/bin/bash
# Builds the suite's package folder from a Windows build:
#   scripts/package.sh [build-folder] [output-folder]   (defaults build/win32, build/package)
# The package holds corvinst.exe, its description corvinst.cfg and every file it installs. The
# version is the project's (CMakeLists.txt), read from the build's cache.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/win32}
out=${2:-build/package}
templates=$root/scripts/package

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
if [ -z "$version" ]; then
    echo "package: no project version in $build/CMakeCache.txt (configure and build it first)" >&2
    exit 1
fi
bin=$build/bin
for f in corvinst.exe corvtray.exe jnibridge.dll lib/corvane.client.jar; do
    if [ ! -f "$bin/$f" ]; then
        echo "package: $bin/$f is missing (build the Windows preset first)" >&2
        exit 1
    fi
done
# Never write into a folder that holds something other than a package.
if [ -d "$out" ] && [ -n "$(ls -A "$out")" ] && [ ! -f "$out/corvinst.cfg" ]; then
    echo "package: $out exists and is not a package folder; refusing to write into it" >&2
    exit 1
fi
mkdir -p "$out"
cp "$bin/corvinst.exe" "$bin/corvtray.exe" "$bin/jnibridge.dll" "$bin/lib/corvane.client.jar" "$out/"
# The description and the texts are read by Windows programs: CR LF line ends.
for f in corvinst.cfg.in SwTermsOfUse.rtf Support.rtf readme.htm; do
    sed -e "s/@VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/' "$templates/$f" >"$out/${f%.in}"
done
echo "package: Corvane $version in $out"
