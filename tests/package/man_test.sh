#!/bin/bash
# sfxpack's man page against its --help, rendered within 80 columns:  man_test.sh SFXPACK PAGE
set -euo pipefail
sfxpack=$1 page=$2
fail() { echo "FAIL: $*" && exit 1; }
warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man -l warns: $warnings"
[ -z "$(LC_ALL=C MANWIDTH=80 man -l "$page" | awk 'length > 80')" ] || fail "lines wider than 80 columns"

options() { grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' | grep -oE -- '--?[[:alpha:]][[:alnum:]-]*' | sort -u; }
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
section() { awk -v heading="$1" '$0 == heading { on = 1; next } /^\.S[HS] / { on = 0 } on' <<<"$text"; }
need() {
    local lacking
    lacking=$(comm -23 <(sort -u <<<"$2") <(sort -u <<<"$3") | tr '\n' ' ')
    [ -n "$2" ] && [ -z "$lacking" ] || fail "$1 lacks $lacking"
}
main=$("$sfxpack" --help)
all=$(options <<<"$main")
for command in $(awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }' <<<"$main"); do
    help=$(options <<<"$("$sfxpack" "$command" --help)")
    need "the section of $command" "$help" "$(section ".SS $command" | options)"
    all+=$'\n'$help
done
need "Exit status" "$(awk '/^Exit status:/ { on = 1 } on && /^ +[0-9]/ { print $1 }' <<<"$main")" \
    "$(section '.SS "Exit status:"' | grep -oE '^[0-9]+$')"
need "sfxpack" "$(options <<<"$text")" "$all"
