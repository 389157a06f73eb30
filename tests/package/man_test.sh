#!/bin/bash
# sfxpack's man page: man -l renders it without a warning, within 80 columns; each command of
# 'sfxpack --help' has its section, naming every option of its --help; the global
# options and every exit status are there; and every option the page names, examples
# included, is one sfxpack has.
#   man_test.sh SFXPACK PAGE
set -euo pipefail
sfxpack=$1 page=$2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man -l warns: $warnings"
rendered=$(LC_ALL=C MANWIDTH=80 man -l "$page")
grep -q "^EXIT STATUS" <<<"$rendered" || fail "man -l renders no EXIT STATUS"
wide=$(awk 'length > 80' <<<"$rendered")
[ -z "$wide" ] || fail "lines wider than 80 columns: $wide"

# The options a text names, one per line.
options() {
    grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' | grep -oE -- '--?[[:alpha:]][[:alnum:]-]*' |
        sort -u
}
# A help text's list under "Heading:".
help_list() {
    awk -v heading="$1:" '$0 == heading { on = 1; next } /^$/ { on = 0 } on'
}
# The page's source as text, and one of its sections: from a heading line to the next.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
section() {
    awk -v heading="$1" '$0 == heading { on = 1; next } /^\.S[HS] / { on = 0 } on' <<<"$text"
}
# Items missing from the second list that the first has.
missing() {
    comm -23 <(sort -u <<<"$1") <(sort -u <<<"$2") | tr '\n' ' '
}

main=$("$sfxpack" --help)
commands=$(help_list Commands <<<"$main" | awk '{ print $1 }')
[ -n "$commands" ] || fail "'sfxpack --help' lists no commands"
all_options=$(options <<<"$main")
for command in $commands; do
    help=$("$sfxpack" "$command" --help)
    all_options+=$'\n'$(options <<<"$help")
    lacking=$(missing "$(options <<<"$help")" "$(section ".SS $command" | options)")
    [ -z "$lacking" ] || fail "the section of $command lacks $lacking"
done
lacking=$(missing "$(help_list Options <<<"$main" | options)" "$(section ".SH OPTIONS" | options)")
[ -z "$lacking" ] || fail "OPTIONS lacks $lacking"
statuses=$(help_list "Exit status" <<<"$main" | awk '/^ +[0-9]/ { print $1 }')
lacking=$(missing "$statuses" "$(section ".SH EXIT STATUS" | awk 'previous == ".TP" { print $1 } { previous = $0 }')")
if [ -z "$statuses" ] || [ -n "$lacking" ]; then
    fail "EXIT STATUS lacks $lacking"
fi
unknown=$(missing "$(options <<<"$text")" "$all_options")
[ -z "$unknown" ] || fail "the page names options sfxpack does not have: $unknown"

[ "$failures" -eq 0 ]
