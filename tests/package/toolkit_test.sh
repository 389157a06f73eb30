#!/bin/bash
# The toolkit as an author gets it, checked and then used by the example project:
#   toolkit_test.sh deb BUILD EXAMPLE SCRATCH     the .deb CPack makes of BUILD, checked
#                                                 by lintian and unpacked by dpkg-deb -x
#   toolkit_test.sh prefix BUILD EXAMPLE SCRATCH  cmake --install BUILD, then moved
#   toolkit_test.sh zip BUILD EXAMPLE SCRATCH     the Windows .zip of BUILD; its i686
#                                                 sfxpack.exe cannot run here, so the
#                                                 example's build is only planned
set -euo pipefail
mode=$1 build=$2 example=$3 scratch=$4
repository=$(cd "$example/../.." && pwd)
rm -rf "$scratch"
mkdir -p "$scratch"

# Runs a command quietly, showing its output only when it fails.
quietly() {
    "$@" >"$scratch/log" 2>&1 || { cat "$scratch/log"; return 1; }
}
fail() {
    echo "FAIL: $*"
    exit 1
}
# The file format objdump reads in a program: pei-i386, pei-x86-64, elf64-x86-64...
format() {
    objdump -f "$1" | sed -n 's/.*file format //p'
}

case $mode in
deb)
    quietly cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/cpack"
    deb=$(echo "$scratch"/cpack/*.deb)
    lintian --fail-on error "$deb" || fail "lintian finds errors in $deb"
    dpkg-deb -x "$deb" "$scratch/root"
    prefix=$scratch/root/usr
    sfxpack=$prefix/bin/sfxpack
    [ "$(dpkg-deb -f "$deb" Version)" = "$("$sfxpack" --version | cut -d' ' -f2)" ] ||
        fail "the package's version is not sfxpack's"
    dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no dependencies computed"
    ;;
prefix)
    quietly cmake --install "$build" --prefix "$scratch/installed"
    mv "$scratch/installed" "$scratch/moved"
    prefix=$scratch/moved
    sfxpack=$prefix/bin/sfxpack
    ;;
zip)
    quietly cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$scratch/cpack"
    unzip -q "$(echo "$scratch"/cpack/*.zip)" -d "$scratch/root"
    prefix=$(echo "$scratch"/root/*)
    sfxpack=$prefix/bin/sfxpack.exe
    [ -f "$prefix/README.md" ] || fail "no README.md in the zip"
    [ "$(format "$sfxpack")" = pei-i386 ] || fail "sfxpack.exe is not the i686 build"
    ;;
esac

stubs=$prefix/share/selfextractor
[ "$(format "$stubs/stub.exe")" = pei-i386 ] || fail "stub.exe is not the i686 product stub"
[ "$(format "$stubs/stub-x86_64-for-testing.exe")" = pei-x86-64 ] || fail "no x86_64 test stub"
if [ "$mode" != zip ]; then
    for file in share/man/man1/sfxpack.1.gz share/bash-completion/completions/sfxpack \
        share/doc/selfextractor/copyright; do
        [ -f "$prefix/$file" ] || fail "$file is missing"
    done
fi
# Relocatable: no text file names the tree it was built in.
if grep -rlI -F "$repository" "$prefix"; then
    fail "the files above name $repository"
fi

quietly cmake -S "$example" -B "$scratch/example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix"
grep -qxF "SelfExtractor_DIR:PATH=$prefix/lib/cmake/SelfExtractor" "$scratch/example/CMakeCache.txt" ||
    fail "the example found another SelfExtractor"
installer=$scratch/example/ExampleSetup.exe
if [ "$mode" = zip ]; then
    cmake --build "$scratch/example" -- -n -v | grep -qF "$sfxpack build --stub $stubs/stub.exe" ||
        fail "the example would not pack with the zip's sfxpack.exe and stub"
    exit 0
fi
quietly cmake --build "$scratch/example"
"$sfxpack" verify "$installer" || fail "sfxpack verify refuses the example installer"
cmp -s -n "$(stat -c %s "$stubs/stub.exe")" "$stubs/stub.exe" "$installer" ||
    fail "the example installer does not start with the installed stub"
"$sfxpack" list "$installer" | grep -qF '"Example Product 1.0' || fail "the example's title is missing"
