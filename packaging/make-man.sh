#!/bin/bash
# Writes sfxpack's man page: the frame (sfxpack.1.in, configured by CMake) with each
# '.\" @help PART' line replaced by roff made from sfxpack's own --help texts, so that
# the page and the program name the same commands, options and exit statuses.
#   make-man.sh SFXPACK FRAME OUTPUT
set -euo pipefail
sfxpack=$1 frame=$2 output=$3

# Roff from one --help text. what: "name" (the NAME line), "synopsis" (the usage line),
# "body" (usage, paragraphs, lists), or "list:HEADING" (only the list under HEADING:).
# In a help text a line "Heading:" opens a list of "term  description" lines, whose
# continuations are indented to the description; other indented lines are kept as
# they are; a blank line ends a paragraph or list.
roff() {
    awk -v what="$1" '
    # Roff specials escaped; every hyphen of a word that starts with one is a minus,
    # so that options can be searched for and copied.
    function esc(s,    out, i, c, prev, option) {
        gsub(/\\/, "\\e", s)
        out = ""; prev = " "; option = 0
        for (i = 1; i <= length(s); i++) {
            c = substr(s, i, 1)
            if (c == "-" && (option || index(" ([=\"\047", prev) > 0)) {
                out = out "\\-"; option = 1
            } else {
                if (c !~ /[A-Za-z0-9_]/) option = 0
                out = out c
            }
            prev = c
        }
        if (out ~ /^[.\047]/) out = "\\&" out
        return out
    }
    # A word of a term or usage line: names in bold, placeholders (FILE) in italics.
    function word(w,    before, after) {
        before = ""; after = ""
        while (w ~ /^\[/) { before = before "["; w = substr(w, 2) }
        while (w ~ /(\]|,|\.\.\.)$/) {
            if (w ~ /\.\.\.$/) { after = "..." after; w = substr(w, 1, length(w) - 3) }
            else { after = substr(w, length(w)) after; w = substr(w, 1, length(w) - 1) }
        }
        if (w == "") return before after
        return before (w ~ /^[A-Z][A-Z0-9_]*$/ ? "\\fI" : "\\fB") esc(w) "\\fR" after
    }
    function words(s,    n, parts, i, out) {
        n = split(s, parts, " ")
        for (i = 1; i <= n; i++) out = out (i > 1 ? " " : "") word(parts[i])
        return out
    }
    function end_preformatted() {
        if (preformatted) { print ".fi"; print ".RE"; preformatted = 0 }
    }

    NR == 1 {
        sub(/^Usage: /, "")
        if (what == "synopsis" || what == "body") print words($0)
        paragraph = 1
        next
    }
    NR == 2 && what == "name" {
        sub(/\.$/, "")
        print "sfxpack \\- " tolower(substr($0, 1, 1)) substr($0, 2)
    }
    what == "synopsis" || what == "name" { next }
    $0 == "" { end_preformatted(); list = ""; paragraph = 1; next }
    /^[A-Z][A-Za-z ]*:$/ && length($0) <= 30 {
        list = substr($0, 1, length($0) - 1); column = 0
        if (what == "body") { print ".PP"; print esc($0) }
        next
    }
    list != "" {
        if (what != "body" && what != "list:" list) next
        indent = match($0, /[^ ]/) - 1
        if (column > 0 && indent >= column) { print esc(substr($0, indent + 1)); next }
        rest = substr($0, indent + 1)
        split_at = index(rest, "  ")
        term = split_at > 0 ? substr(rest, 1, split_at - 1) : rest
        text = split_at > 0 ? substr(rest, split_at) : ""
        sub(/^ +/, "", text)
        # A term too long for its column has its description on the lines below.
        column = text == "" ? indent + 1 : length($0) - length(text)
        print ".TP"; print words(term)
        if (text != "") print esc(text)
        next
    }
    what != "body" { next }
    paragraph { end_preformatted(); print ".PP"; paragraph = 0 }
    /^ / {
        if (!preformatted) { print ".RS"; print ".nf"; preformatted = 1 }
        print esc(substr($0, 3))
        next
    }
    { end_preformatted(); print esc($0) }
    END { end_preformatted() }
    '
}

main=$("$sfxpack" --help)
commands=$(awk '/^Commands:$/ { on = 1; next } /^$/ { on = 0 } on { print $1 }' <<<"$main")

generate() {
    case $1 in
    name) roff name <<<"$main" ;;
    synopsis)
        roff synopsis <<<"$main"
        for command in $commands; do
            echo ".br"
            "$sfxpack" "$command" --help | roff synopsis
        done
        ;;
    commands)
        for command in $commands; do
            echo ".SS $command"
            "$sfxpack" "$command" --help | roff body
        done
        ;;
    options) roff list:Options <<<"$main" ;;
    exit-status) roff "list:Exit status" <<<"$main" ;;
    *)
        echo "make-man.sh: unknown part '$1' in $frame" >&2
        exit 1
        ;;
    esac
}

while IFS= read -r line; do
    if [[ $line =~ ^\.\\\"\ @help\ ([a-z-]+)$ ]]; then
        generate "${BASH_REMATCH[1]}"
    else
        printf '%s\n' "$line"
    fi
done <"$frame" >"$output.tmp"
mv "$output.tmp" "$output"
