#!/bin/bash
# Writes sfxpack's man page with help2man, from 'sfxpack --help' and the hand-written
# sections of INCLUDE. help2man reads only that one help text, so each command's goes in
# through a second include file: help2man's own page of 'sfxpack COMMAND --help' gives the
# command's line of SYNOPSIS and, its headings made paragraphs (a man page nests no
# deeper), its subsection of COMMANDS.
#   make-man.sh SFXPACK INCLUDE OUTPUT
set -euo pipefail
sfxpack=$1 include=$2 output=$3
help=$("$sfxpack" --help)
name=$(sed -n 2p <<<"$help")
name=${name,}
for command in $(awk '/^Commands:$/ { on = 1; next } /^$/ { on = 0 } on { print $1 }' <<<"$help"); do
    page=$(help2man --no-info --help-option="$command --help" "$sfxpack")
    printf '[>SYNOPSIS]\n.br\n'
    sed -n '/^\.SH SYNOPSIS$/,/^\.SH/ { /^\.SH/!p }' <<<"$page"
    printf '[COMMANDS]\n.SS %s\n' "$command"
    sed -e '1,/^\.SH DESCRIPTION$/d' -e 's/^\.SH OPTIONS$/.PP\nOptions:/' \
        -e 's/^\.SS "\(.*\)"$/.PP\n\1/' <<<"$page"
done >"$output.h2m"
help2man --no-info --name="${name%.}" --include="$output.h2m" --include="$include" --output="$output.tmp" "$sfxpack"
rm "$output.h2m"
mv "$output.tmp" "$output"
