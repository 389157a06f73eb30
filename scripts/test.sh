#!/bin/bash
# Builds the presets and runs every test: native with sanitizers, both Windows builds
# (x86_64, and the i686 product with its zip) under Wine on a virtual display, and the
# toolkit as installed and packaged (package, after the two Windows builds whose stubs it
# takes); then a short fixed-count run of each fuzz target. Where 32-bit programs cannot
# run, the i686 build is checked from its files and one line says why. Exits non-zero
# when any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

presets=(native win64 win32 package)
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

failed=()
for preset in "${presets[@]}"; do
    echo "== tests: $preset"
    cat "build/$preset/wine-skipped.txt" 2>/dev/null || true
    ctest --preset "$preset" -j2 || failed+=("$preset")
done

# Fuzzing, briefly: a fixed number of inputs per target, grown from fuzz/seeds; the
# corpus and any crashing input stay in build/fuzz.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in payload_reader_fuzz:20000 extract_fuzz:5000; do
    name=${target%%:*}
    echo "== fuzz: $name, ${target##*:} inputs"
    mkdir -p "build/fuzz/corpus/$name"
    build/fuzz/fuzz/"$name" -runs="${target##*:}" -seed=1 -artifact_prefix=build/fuzz/ \
        "build/fuzz/corpus/$name" fuzz/seeds >"build/fuzz/$name.log" 2>&1 ||
        { tail -30 "build/fuzz/$name.log"; failed+=("fuzz:$name"); }
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: tests of ${failed[*]}"
    exit 1
fi
echo "All tests passed."
