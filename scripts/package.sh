#!/bin/bash
# Makes the toolkit's two packages in build/packages/: the Debian package (sfxpack for
# Linux) and the Windows zip (the i686 sfxpack.exe), each with the sealed stubs and the
# CMake package. Builds what they need first: the x86_64 stub (win64 preset), the win32
# preset (the product stub, sfxpack.exe) and the package preset (sfxpack for Linux).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target stub
for preset in win32 package; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
rm -rf build/packages
cpack --preset deb >/dev/null
cpack --preset zip >/dev/null
rm -rf build/packages/_CPack_Packages
ls -l build/packages
