#!/bin/bash
# Installs what building and testing need, with apt-get, skipping what is already there.
# Quick when everything is present; safe to run any number of times.
set -euo pipefail

packages=(
    cmake ninja-build g++ libgtest-dev googletest           # native build and tests
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix      # Windows cross compilers
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686        # windres, objdump for PE files
    wine wine64 fonts-wine xvfb xauth                        # Windows tests on a virtual display
    imagemagick                                              # artwork and screenshots
    osslsigncode openssl                                     # signed installers
    clang libclang-rt-14-dev nlohmann-json3-dev              # fuzzing
    dpkg-dev lintian man-db groff-base unzip                 # packages and the man page
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
