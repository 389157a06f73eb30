#!/bin/bash
# sfxpack's bash completion against its --help:  completion_test.sh SFXPACK COMPLETION SCRATCH
# Not -e: completion functions run in an interactive shell, where a failing command goes on.
set -u
sfxpack=$1 completion=$(readlink -f "$2")
# shellcheck source=/dev/null
source "$completion"
compopt() { :; } # outside a real completion it only complains
rm -rf "$3" && mkdir -p "$3/out" && touch "$3/kit.exe" && cd "$3" || exit 1
failures=0
check() {
    local expected=$1
    shift
    COMP_WORDS=("$sfxpack" "$@")
    COMP_CWORD=$#
    _sfxpack "$sfxpack"
    local offered
    offered=$(printf '%s\n' ${COMPREPLY[@]+"${COMPREPLY[@]}"} | sort | paste -sd' ')
    [ "$offered" = "$(tr ' ' '\n' <<<"$expected" | sort | paste -sd' ')" ] ||
        { echo "FAIL: sfxpack $* -> '$offered', expected '$expected'" && failures=$((failures + 1)); }
}
check "build list verify extract seal --help --version" ""
check "1250 1251 1252 1253 1254 1255 1256 1257 1258" build -t T --codepage 125
check "932 936" list --codepage = 93
check "-C --directory -f --force --stub-length -h --help" extract -
check "kit.exe" build --stub k
check "out" extract -C ""
check "" build --title ""
check "kit.exe out" seal ""

[ "$failures" -eq 0 ]
