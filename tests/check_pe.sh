#!/bin/bash
# Checks a built Windows program from its file:
#   check_pe.sh OBJDUMP FILE pe32|pe32+ [ALLOWED_DLL...]
# the PE format, and that every DLL it imports is one Windows ships (by default the
# system DLLs the program may use; the C runtime is msvcrt.dll, never a mingw DLL).
set -euo pipefail
objdump=$1
file=$2
format=$3
shift 3
allowed=("$@")
if [ ${#allowed[@]} -eq 0 ]; then
    allowed=(kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll shell32.dll comctl32.dll)
fi

headers=$("$objdump" -p "$file")
magic=$(awk '/^Magic/ {print $2; exit}' <<<"$headers")
case "$format" in
pe32) want=010b ;;
pe32+) want=020b ;;
*) echo "check_pe: unknown format $format" >&2; exit 2 ;;
esac
if [ "$magic" != "$want" ]; then
    echo "$file: optional header magic $magic, expected $want ($format)"
    exit 1
fi

status=0
while read -r dll; do
    lower=${dll,,}
    ok=no
    for name in "${allowed[@]}"; do
        [ "$lower" = "${name,,}" ] && ok=yes
    done
    if [ $ok = no ]; then
        echo "$file imports $dll, which is not among: ${allowed[*]}"
        status=1
    fi
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
exit $status
