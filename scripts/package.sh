#!/bin/bash
# Makes the toolkit's two packages in build/packages/: the Debian package (sfxpack for
# Linux) and the Windows zip (the i686 sfxpack.exe), each with the sealed stubs and the
# CMake package. Builds what they need first: the win64 and win32 presets (the stubs,
# sfxpack.exe) and the package preset (sfxpack for Linux, the man page).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in win64 win32 package; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
rm -rf build/packages
cpack --preset deb >/dev/null
cpack --preset zip >/dev/null
rm -rf build/packages/_CPack_Packages
ls -l build/packages
