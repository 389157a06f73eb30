#!/bin/bash
# Installs what building and testing need, with apt-get, skipping what is already there.
# Quick when everything is present; safe to run any number of times.
#
# 32-bit Wine (wine32:i386) only where this machine runs 32-bit programs: a tiny static
# 32-bit program, built and run, tells. Installed where the kernel cannot run them, it
# breaks the wine command for 64-bit programs too.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ libgtest-dev googletest           # native build and tests
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix      # Windows cross compilers
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686        # windres, objdump for PE files
    wine wine64 fonts-wine xvfb xauth                        # Windows tests on a virtual display
    imagemagick                                              # artwork and screenshots
    osslsigncode openssl                                     # signed installers
    clang libclang-rt-14-dev nlohmann-json3-dev              # fuzzing
    dpkg-dev lintian man-db groff-base help2man unzip        # packages and the man page
    python3                                                  # zlib's CRC-32, to check ours
    zlib1g-dev libz-mingw-w64-dev                            # zlib for sfxpack: native, and static in sfxpack.exe
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if why=$(cmake/runs-32bit.sh); then
    if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
        echo "setup: this machine runs 32-bit programs: installing wine32:i386"
        $sudo dpkg --add-architecture i386
        $sudo apt-get update -qq
        $sudo apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
    fi
else
    echo "setup: no 32-bit Wine: $why"
fi
