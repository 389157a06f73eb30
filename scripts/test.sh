#!/bin/bash
# Builds the three presets and runs every test: native with sanitizers, the Windows
# x86_64 build under Wine on a virtual display, and the i686 product checked from its
# files. Exits non-zero when any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

presets=(native win64 win32)
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

failed=()
for preset in "${presets[@]}"; do
    echo "== tests: $preset"
    ctest --preset "$preset" -j2 || failed+=("$preset")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: tests of ${failed[*]}"
    exit 1
fi
echo "All tests passed."
