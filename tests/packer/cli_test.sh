#!/bin/bash
# The sfxpack program as a user meets it: cli_test.sh SFXPACK SCRATCH
set -u
sfxpack=$1
rm -rf "$2" && mkdir -p "$2" && cd "$2" || exit 1
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
# expect STATUS OUT ERR ARGS...: only a usage error (1) points to --help; writes past $limit KiB fail.
expect() {
    local status=$1 out=$2 err=$3 got stdout stderr help=0
    shift 3
    (trap '' XFSZ && ulimit -f "${limit:-unlimited}" && exec "$sfxpack" "$@") >stdout 2>stderr
    got=$? stdout=$(cat stdout) stderr=$(cat stderr)
    [[ $stderr == *"Try 'sfxpack"* ]] && help=1
    [[ $got == "$status" && $stdout == $out && $stderr == $err ]] && (((status == 1) == help)) ||
        fail "sfxpack $* -> $got, '$stdout', '$stderr'"
}
# pe MACHINE CHARACTERISTICS: the 88 bytes of a DOS and a COFF header, little-endian.
pe() {
    printf 'MZ%58s\x40\0\0\0PE\0\0%b%16s%b' "" "\\x${1:2:2}\\x${1:0:2}" "" "\\x${2:2:2}\\x${2:0:2}" | tr ' ' '\0'
}
# Stubs of 1000 bytes: an older seal block; one with room for a digest and a PE32 checksum.
{ pe 014c 0102 && head -c 512 /dev/zero && printf '#SFX-SEAL#\177\001\0\0\0\0' && head -c 384 /dev/zero; } >stub.exe
{ pe 014c 0102 && printf '\13\1' && head -c 510 /dev/zero && printf '#SFX-SEAL#\177\001\0\0\0\0CRC\0\0\0\0\0' &&
    head -c 376 /dev/zero; } >crc-stub.exe
{ pe 014c 0102 && head -c 212 /dev/urandom; } >setup
head -c 200 /dev/urandom >jar && head -c 5000 /dev/urandom >aux
head -c 35328 /dev/zero >raw.exe && mkfifo pipe
# A backslash in a host file name is no Windows separator.
kit='kit\installer.exe'
listing='stub length  1000
signature    none
digest       none
title        "Kelvane Pro                             "
entry  name           offset      length
    1  Setup.exe        1050         300
    2  Setup.jar        1360         200
    3  setup.aux        1570        5000
    4  setup.cls        6580           0
    5  knxf.dat         6590           0
    6  knxr.dat         6600           0'

expect 0 "" "" seal stub.exe
expect 0 "" "" seal crc-stub.exe
expect 0 "stub.exe: sealed, 1000 bytes; an older stub: it cannot carry a payload digest" "" seal --check stub.exe
expect 0 "crc-stub.exe: sealed, 1000 bytes; can carry a payload digest" "" seal --check crc-stub.exe
expect 0 "" "" build --stub stub.exe "--title=Kelvane Pro" -o "$kit" setup jar aux
expect 0 "" "" verify "$kit"
expect 0 "$listing" "" list "$kit"
expect 0 '*{"number": 3, "name": "setup.aux", "offset": 1570, "length": 5000, "available": 5000}*' "" list --json "$kit"
expect 0 "" "" extract "$kit" -C out # no progress bar when standard error is no terminal
head -c 2770 "$kit" >cut.exe         # 1200 bytes into entry 3
expect 2 "" "sfxpack: cut.exe: entry 3 (setup.aux) declares 5000 bytes but the file ends after 1200" verify cut.exe
expect 2 "*5000  (only 1200 present)" "sfxpack: cut.exe: entry 3*" list cut.exe
expect 0 "" "sfxpack: warning: jar: *" build --raw-stub -s raw.exe -t T -o raw-kit.exe jar
expect 2 "" "sfxpack: raw-kit.exe: no seal found*--stub-length N (35328 is what an unsealed stub of ours claims)" verify raw-kit.exe
expect 0 "" "" verify --stub-length=35328 raw-kit.exe
expect 1 "" "sfxpack: no command given*"
expect 1 "" "sfxpack: build: give one to 7 files, not 8*" build -s s -t t -o x 1 2 3 4 5 6 7 8
expect 1 "" "sfxpack: build: --codepage wants a Windows code page number, not 'cp1252'*" build --codepage cp1252
expect 1 "" "sfxpack: list: unknown option '--jsn'*" list --jsn x
expect 1 "" "sfxpack: extract: option '-C' needs a value*" extract -C
expect 3 "" "sfxpack: absent.exe: No such file or directory" verify absent.exe
expect 3 "" "sfxpack: pipe: is not a regular file*" build -s stub.exe -t T -o pipe jar
# Sparse files too large for an entry or an installer; one byte less passes every check.
truncate -s 2147483648 huge
expect 2 "" "sfxpack: huge: the file is 2147483648 bytes; an entry holds at most 2147483647" build -s stub.exe -t T -o x huge
truncate -s $((2147483647 - 1000 - 40 - 60 + 1)) huge
expect 2 "" "sfxpack: the installer would be 2147483648 bytes*" build -s stub.exe -t T -o x huge
truncate -s $((2147483647 - 1000 - 40 - 60)) huge
expect 3 "" "sfxpack: no/x.exe: cannot create*" build -s stub.exe -t T -o no/x.exe huge
# A write that fails halfway leaves no output, and the old one as it was.
echo "the installer of yesterday" >old.exe
limit=4 expect 3 "" "sfxpack: old.exe: cannot write the installer*" build -s stub.exe -t T -o old.exe setup jar aux
limit=4 expect 3 "" "sfxpack: new.exe: cannot write the installer*" build -s stub.exe -t T -o new.exe setup jar aux
limit=4 expect 3 "" "sfxpack: out: cannot write the entries*" extract "$kit" -C out
limit=4 expect 3 "" "sfxpack: new: cannot write the entries*" extract "$kit" -C new
[ "$(cat old.exe)" = "the installer of yesterday" ] && [ ! -e new.exe ] && [ ! -e new ] && ! ls -A | grep -q sfxpack- ||
    fail "a failed write left files"
[ "$(ls -A out | wc -l)" = 6 ] || fail "a failed extract left files in its target"
cmp -s aux out/setup.aux || fail "extract wrote another setup.aux"
[ -p pipe ] || fail "a refused build replaced a pipe"
# The CRC-32 of all after the stub, as zlib computes it; a length field flipped breaks first.
expect 0 "" "" build --stub crc-stub.exe -t "Kelvane Pro" -o crc.exe setup jar aux
crc=$(python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()[1000:]))' crc.exe)
# A stale PE checksum (build's own is checked by build_test) is noted, the status as it was.
computed=$(od -An -tx4 -j152 -N4 crc.exe | tr -d ' ')
cp crc.exe stale.exe && printf '\1\0\0\0' | dd of=stale.exe bs=1 seek=152 conv=notrunc 2>/dev/null
expect 0 "" "sfxpack: note: stale.exe: the PE checksum is 00000001, not the file's $computed; only drivers*" verify stale.exe
expect 0 "*knxr.dat*
pe checksum  00000001, not the file's $computed (see --help)" "" list stale.exe
expect 0 "*digest       crc-32 $crc, matches*" "" list crc.exe
expect 0 "*\"digest\": {\"algorithm\": \"crc-32\", \"sealed\": \"$crc\", \"payload\": \"$crc\", \"matches\": true}*" "" list --json crc.exe
expect 0 "" "" verify --stub-length 1000 crc.exe
flip() { python3 -c 'import sys; b = bytearray(open("crc.exe", "rb").read()); b[int(sys.argv[1])] ^= 1; open("flip.exe", "wb").write(b)' "$1"; }
flip 6599 # the length field of entry 6
expect 2 "" "sfxpack: flip.exe: entry 6 (knxr.dat) declares 1 bytes but the file ends after 0" verify flip.exe
flip 1460 # in entry 2
expect 2 "" "sfxpack: flip.exe: the payload's CRC-32 is * but the seal records $crc: the installer is damaged*" verify flip.exe
expect 2 "*digest       crc-32 $crc, does not match: the payload's is *" "sfxpack: flip.exe: the payload's*" list flip.exe
expect 2 "" "sfxpack: flip.exe: the payload's CRC-32 is *; nothing extracted (--force extracts what is there)" extract flip.exe -C refused
[[ ! -e refused ]] || fail "a refused extract left refused/ behind"
expect 0 "" "sfxpack: warning: flip.exe: the payload's CRC-32 is *" extract --force flip.exe -C forced-crc
# A first file the stub could not start is packed with a warning.
{ pe 014c 2102 && cat jar; } >library.dll && { pe 8664 0022 && cat jar; } >setup64.exe
expect 0 "" "sfxpack: warning: jar: not a Windows program (no PE header, or a DLL)*" build -s stub.exe -t T -o w.exe jar
expect 0 "" "sfxpack: warning: library.dll: not a Windows program*" build -s stub.exe -t T -o w.exe library.dll
expect 0 "" "sfxpack: warning: setup64.exe: a program for machine 0x8664 packed into a 32-bit stub*" build \
    -s stub.exe -t T -o w.exe setup64.exe
expect 2 "" "sfxpack: pipe: is not a regular file; an entry is made of a regular file" build -s stub.exe -t T -o w.exe setup pipe
expect 2 "" "sfxpack: /proc/version: does not hold the 0 bytes its size says*" build -s stub.exe -t T -o w.exe /proc/version
# Extract checks every name before it writes: the installer itself under any name, a pipe.
mkdir -p self clash && cp "$kit" self/Setup.exe && ln "$kit" clash/setup.aux && mkfifo clash/knxr.dat
cd self && expect 2 "" "sfxpack: ./Setup.exe is the installer Setup.exe itself; refusing*" extract Setup.exe && cd ..
echo mine >clash/Setup.exe
expect 2 "" "sfxpack: clash/setup.aux is the installer kit?installer.exe itself*" extract "$kit" -C clash
rm clash/setup.aux
expect 3 "" "sfxpack: clash/knxr.dat: is not a regular file; nothing extracted" extract "$kit" -C clash
cmp -s "$kit" self/Setup.exe && [ "$(ls -A clash | tr '\n' ' ')" = "Setup.exe knxr.dat " ] && [ "$(cat clash/Setup.exe)" = mine ] ||
    fail "a refused extract changed its folder"
[ "$failures" -eq 0 ]
