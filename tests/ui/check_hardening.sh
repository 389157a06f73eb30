#!/bin/bash
# Checks the stub's defences and size from its file:
#   check_hardening.sh OBJDUMP STUB pe32|pe32+ [MAX_BYTES]
# - it imports only DLLs that Windows always loads from its system directory, so that
#   no DLL planted beside a downloaded installer is ever loaded in their place;
# - ASLR (dynamic base; high-entropy addresses on 64-bit) and DEP are switched on;
# - its manifest asks for the user's own rights and names the supported Windows versions;
# - it is no larger than MAX_BYTES.
set -euo pipefail
objdump=$1
stub=$2
format=$3
max_bytes=${4:-}
here=$(dirname "$0")

status=0
fail() {
    echo "$stub: $*"
    status=1
}

"$here/../check_pe.sh" "$objdump" "$stub" "$format" kernel32.dll user32.dll gdi32.dll msvcrt.dll || status=1

characteristics=$((16#$("$objdump" -p "$stub" | awk '/^DllCharacteristics/ {print $2}')))
(( characteristics & 0x40 )) || fail "not relocatable (no dynamic base): no ASLR"
(( characteristics & 0x100 )) || fail "not NX compatible: no DEP"
if [ "$format" = pe32+ ]; then
    (( characteristics & 0x20 )) || fail "no high-entropy virtual addresses"
fi

for needle in 'level="asInvoker"' \
    '{e2011457-1546-43c5-a5fe-008deee3d3f0}' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' \
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    grep -qaF -- "$needle" "$stub" || fail "manifest lacks $needle"
done

size=$(stat -c %s "$stub")
if [ -n "$max_bytes" ] && [ "$size" -gt "$max_bytes" ]; then
    fail "$size bytes, more than $max_bytes"
fi
echo "$stub: $size bytes"
exit $status
