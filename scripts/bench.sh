#!/bin/bash
# Runs the benchmarks on an optimised native build. Figures only: nothing here passes
# or fails on a timing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench
./build/bench/bench/extract_bench
./build/bench/bench/sfxpack_bench
