#!/bin/bash
# sfxpack's man page, rendered within 80 columns, a section for each command:  man_test.sh SFXPACK PAGE
set -euo pipefail
sfxpack=$1 page=$2
fail() { echo "FAIL: $*" && exit 1; }
warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man -l warns: $warnings"
[ -z "$(LC_ALL=C MANWIDTH=80 man -l "$page" | awk 'length > 80')" ] || fail "lines wider than 80 columns"
for command in $("$sfxpack" --help | awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }'); do
    grep -qxF ".SS $command" "$page" || fail "no section for $command"
done
