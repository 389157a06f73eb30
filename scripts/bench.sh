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

# A signed installer's check of its own digest before it extracts anything: the x86_64
# stub under Wine, 256 MiB of payload.
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target stub digest_bench
work=$(mktemp -d)
trap 'cmake/wine-session.sh "$work/wine" stop >/dev/null 2>&1; rm -rf "$work"' EXIT
head -c $((256 << 20)) /dev/urandom >"$work/data"
./build/bench/tools/sfxpack build --stub build/win64/ui/stub.exe --title "Digest Benchmark" \
    -o "$work/unsigned.exe" "$work/data"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Benchmark Signer" \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -h sha256 \
    -in "$work/unsigned.exe" -out "$work/installer.exe" >/dev/null
cmake/wine-session.sh "$work/wine" start
cmake/wine-session.sh "$work/wine" run build/win64/bench/digest_bench.exe "$work/installer.exe"

# An install under Wine with each stub, from the installer's start to its end: 16 MiB
# whose setup program ends at once, beside `cmd /c copy` of the same file. The i686
# product only where this machine runs 32-bit programs.
presets=(win64)
if why=$(cmake/runs-32bit.sh --wine); then
    presets=(win32 win64)
else
    echo "install with the i686 stub not timed: $why"
fi
head -c $((16 << 20)) /dev/urandom >"$work/data16"
eval "$(cmake/wine-session.sh "$work/wine" env)"
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target stub install_bench install_standin >/dev/null
    ./build/bench/tools/sfxpack build --stub "build/$preset/ui/stub.exe" --title "Install Benchmark" \
        -o "$work/install-$preset.exe" "build/$preset/tests/ui/install_standin.exe" "$work/data16"
    printf '%s stub under Wine, 16 MiB installer: ' "$preset"
    cmake/wine-session.sh "$work/wine" run "build/$preset/bench/install_bench.exe" \
        "$(winepath -w "$work/install-$preset.exe")" "$(winepath -w "$work")"
done
