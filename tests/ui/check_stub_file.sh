#!/bin/bash
# Checks a built stub from its file, for targets whose programs cannot run here:
#   check_stub_file.sh OBJDUMP WINDRES STUB pe32|pe32+ RESOURCE_SCRIPT INCLUDE_DIR...
# a GUI program of the expected PE format whose resources are exactly those the resource
# script makes: both read back to resource script form by windres and compared, after
# the two differences of form that are no difference (load flags, which a program file
# does not keep, and -1 written as 65535).
set -euo pipefail
objdump=$1 windres=$2 stub=$3 format=$4 script=$5
shift 5
includes=()
for dir in "$@"; do includes+=(-I "$dir"); done

headers=$("$objdump" -p "$stub")
want_magic=$([ "$format" = pe32 ] && echo 010b || echo 020b)
grep -q "^Magic.*$want_magic" <<<"$headers" || { echo "$stub: not $format"; exit 1; }
grep -q "^Subsystem.*(Windows GUI)" <<<"$headers" || { echo "$stub: not a GUI program"; exit 1; }

normalise() { sed -E 's/ (MOVEABLE|PURE|DISCARDABLE|PRELOAD|LOADONCALL|FIXED|IMPURE)//g; s/, -1, /, 65535, /'; }
diff <("$windres" "${includes[@]}" -i "$script" -O rc | normalise) <("$windres" -i "$stub" -O rc | normalise) ||
    { echo "$stub: its resources differ from what $script makes"; exit 1; }
