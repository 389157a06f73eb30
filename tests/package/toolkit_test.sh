#!/bin/bash
# toolkit_test.sh BUILD EXAMPLE deb|zip SCRATCH: the package as the example project uses it.
set -euo pipefail
build=$1 example=$2 mode=$3 scratch=$4
repository=$(cd "$example/../.." && pwd)
rm -rf "$scratch" && mkdir -p "$scratch"
quietly() { "$@" >"$scratch/log" 2>&1 || { cat "$scratch/log" && return 1; }; }
fail() { echo "FAIL: $*" && exit 1; }
format() { objdump -f "$1" | sed -n 's/.*file format //p'; }

# Each package unpacked away from the prefix it was made for: the toolkit must not need it.
quietly cpack -G "$(tr a-z A-Z <<<"$mode")" --config "$build/CPackConfig.cmake" -B "$scratch/cpack"
package=$(echo "$scratch"/cpack/*."$mode")
if [ "$mode" = deb ]; then
    lintian --fail-on error "$package" || fail "lintian finds errors in $package"
    dpkg-deb -x "$package" "$scratch/root"
    prefix=$scratch/root/usr
else
    unzip -q "$package" -d "$scratch/root"
    prefix=$(echo "$scratch"/root/*)
    [ -f "$prefix/README.md" ] || fail "no README.md in the zip"
    [ "$(format "$prefix/bin/sfxpack.exe")" = pei-i386 ] || fail "sfxpack.exe is not the i686 build"
fi
sfxpack=$prefix/bin/sfxpack$([ "$mode" = zip ] && echo .exe || true)
stubs=$prefix/share/selfextractor
[ "$(format "$stubs/stub.exe")" = pei-i386 ] || fail "stub.exe is not the i686 product stub"
[ "$(format "$stubs/stub-x86_64-for-testing.exe")" = pei-x86-64 ] || fail "no x86_64 test stub"
for file in share/man/man1/sfxpack.1.gz share/bash-completion/completions/sfxpack share/doc/selfextractor/copyright; do
    [ "$mode" = zip ] || [ -f "$prefix/$file" ] || fail "$file is missing"
done
if [ "$mode" = zip ]; then
    cmp -s "$prefix/LICENSE" "$repository/LICENSE" || fail "the zip's LICENSE is not the project's"
    cmp -s "$prefix/THIRD-PARTY-NOTICES.txt" "$repository/packaging/THIRD-PARTY-NOTICES.txt" ||
        fail "the zip lacks the notices of the runtime linked into sfxpack.exe"
else
    # Its License paragraph: each line indented by a blank, blank lines written ' .'.
    terms=$(sed -n '/^License: Zlib$/,/^[^ ]/ { /^ /p }' "$prefix/share/doc/selfextractor/copyright" | sed 's/^ //; s/^\.$//')
    [ "$terms" = "$(sed -n '/^This software/,$p' "$repository/LICENSE")" ] ||
        fail "the copyright file does not hold LICENSE's terms as its Zlib licence"
fi
! grep -rlI -F "$repository" "$prefix" || fail "the files above name $repository: not relocatable"

quietly cmake -S "$example" -B "$scratch/example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix"
grep -qxF "SelfExtractor_DIR:PATH=$prefix/lib/cmake/SelfExtractor" "$scratch/example/CMakeCache.txt" ||
    fail "the example found another SelfExtractor"
if [ "$mode" = zip ]; then # its i686 sfxpack.exe cannot run here
    cmake --build "$scratch/example" -- -n -v | grep -qF "$sfxpack build --stub $stubs/stub.exe" ||
        fail "the example would not pack with the zip's sfxpack.exe and stub"
    exit 0
fi
quietly cmake --build "$scratch/example"
installer=$scratch/example/ExampleSetup.exe
"$sfxpack" verify "$installer" || fail "sfxpack verify refuses the example installer"
# The stub's bytes but for the sealed digest (five in a row at most) and the PE checksum.
on_installed_stub() {
    local checksum=$(($(od -An -t u4 -j 60 -N 4 "$stubs/stub.exe") + 24 + 64 + 1))
    { cmp -l -n "$(stat -c %s "$stubs/stub.exe")" "$stubs/stub.exe" "$1" || true; } |
        awk -v checksum=$checksum '$1 < checksum || $1 >= checksum + 4 { if (n++ == 0) first = $1; last = $1 }
            END { exit !(n <= 5 && last - first < 5) }'
}
on_installed_stub "$installer" || fail "not packed on the installed stub"
"$sfxpack" list "$installer" | grep -qF '"Example Product 1.0' || fail "the example's title is missing"
(cd "$scratch" && "$sfxpack" build -t Quick -o quick.exe "$example/setup.txt" 2>"$scratch/log") ||
    fail "build without --stub: $(cat "$scratch/log")"
grep -qF "using the installed $stubs/stub.exe" "$scratch/log" || fail "build did not say which stub it took"
on_installed_stub "$scratch/quick.exe" || fail "build without --stub did not take the installed stub"
