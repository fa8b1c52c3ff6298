#!/usr/bin/env bash
# Installs the build and test tools that are missing (Debian, as root, no prompts). Idempotent.
set -euo pipefail
packages=(cmake g++ clang libclang-rt-14-dev googletest openjdk-17-jdk-headless
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32
          mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
          wine wine64 xvfb xauth x11-apps imagemagick python3)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
echo "setup: tools present"
