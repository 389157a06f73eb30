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
check "--directory --force --stub-length --help" extract --
check "kit.exe" build --stub k
check "out" extract -C ""
check "" build --title ""
check "kit.exe out" seal ""

help_options() { "$sfxpack" "$@" --help | grep -oE -- '(^|[ ,])--?[[:alpha:]][[:alnum:]-]*' | tr -d ' ,' | sort -u; }
commands=$("$sfxpack" --help | awk '/^Commands:$/ { on = 1; next } /^$/ { on = 0 } on { print $1 }')
for command in "" $commands; do
    args=(${command:+"$command"})
    COMP_WORDS=("$sfxpack" "${args[@]}" -)
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _sfxpack "$sfxpack"
    unknown=$(comm -13 <(help_options "${args[@]}") <(printf '%s\n' "${COMPREPLY[@]}" | grep -- '^-' | sort -u) | tr '\n' ' ')
    [ -z "$unknown" ] || { echo "FAIL: sfxpack ${args[*]} - offers $unknown, which its --help does not name" &&
        failures=$((failures + 1)); }
done
taken=$(for command in $commands; do _sfxpack_options "$sfxpack" "$command"; done | awk 'NF == 2 { print $2 }' | sort -u)
# shellcheck disable=SC2016 # the case statement as written in the completion
known=$(sed -n '/case $value in/,/esac/p' "$completion" | grep -oE '^ *[A-Z][A-Z |]*\)' | tr -d ' )' | tr '|' '\n' | sort -u)
unused=$(comm -13 <(echo "$taken") <(echo "$known") | tr '\n' ' ')
[ -z "$unused" ] || { echo "FAIL: the completion has values for $unused, which no option takes" && failures=$((failures + 1)); }
[ "$failures" -eq 0 ]
