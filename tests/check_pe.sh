#!/bin/bash
# What running a built Windows program cannot show, from its file:
#   check_pe.sh OBJDUMP FILE pe32|pe32+ --shipped | --stub [MAX_BYTES]
set -euo pipefail
objdump=$1 file=$2 format=$3 stub=""
[ "$4" != --stub ] || stub=1
fail() {
    echo "$file: $*"
    exit 1
}
# A caller that leaves out the format would otherwise pass with the stub's checks skipped.
[[ "$format $4" =~ ^pe32\+?\ --(shipped|stub)$ ]] || fail "usage: $0 OBJDUMP FILE pe32|pe32+ --shipped|--stub ..."

# Only DLLs always loaded from the system directory, never one planted beside a download.
allowed=" kernel32.dll user32.dll gdi32.dll msvcrt.dll "
[ -n "$stub" ] || allowed+="advapi32.dll shell32.dll comctl32.dll "
headers=$("$objdump" -p "$file")
grep -q "^Magic.*$([ "$format" = pe32 ] && echo 010b || echo 020b)" <<<"$headers" || fail "not $format"
for dll in $(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers"); do
    [[ "$allowed" == *" $dll "* ]] || fail "imports $dll, which is not among:$allowed"
done
# Vista: an older Windows refuses the program instead of failing on a missing import.
for field in MajorOSystemVersion=6 MinorOSystemVersion=0 MajorSubsystemVersion=6 MinorSubsystemVersion=0; do
    [ "$(awk -v name="${field%=*}" '$1 == name {print $2}' <<<"$headers")" = "${field#*=}" ] ||
        fail "its header does not say ${field%=*} ${field#*=}"
done
list=$(dirname "$0")/vista_imports.txt
unlisted=$(awk 'NR == FNR { if ($1 !~ /^#/) for (i = 2; i <= NF; ++i) listed[$1 " " $i]; next }
    /^The Import Tables/ {within = 1; next}
    within && /^(The |PE File Base)/ {within = 0}
    within && /DLL Name:/ {dll = tolower($3); next}
    within && /^\t[0-9a-f]+\t/ && !((dll " " $NF) in listed) {print dll " " $NF}' "$list" - <<<"$headers")
[ -z "$unlisted" ] || fail "imports what is not in $list:" $unlisted
if [ -n "$stub" ]; then
    grep -q "^Subsystem.*(Windows GUI)" <<<"$headers" || fail "not a GUI program"
    flags=$((16#$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")))
    ((flags & 0x40)) || fail "not relocatable (no dynamic base): no ASLR"
    ((flags & 0x100)) || fail "not NX compatible: no DEP"
    [ "$format" = pe32 ] || ((flags & 0x20)) || fail "no high-entropy virtual addresses"
    # The signature check maps the whole installer, up to 2 GiB: 4 GiB of address space.
    [ "$format" = pe32+ ] || grep -q "^\s*large address aware" <<<"$headers" || fail "not large-address-aware"
    grep -qaF 'level="asInvoker"' "$file" || fail "its manifest does not ask for the user's own rights"
    grep -qaE '>true</dpiAware>.*>PerMonitorV2</dpiAwareness>' "$file" ||
        fail "its manifest does not declare per-monitor DPI awareness with the system-aware fallback"
    size=$(stat -c %s "$file") max_bytes=${5:-}
    [ -z "$max_bytes" ] || [ "$size" -le "$max_bytes" ] || fail "$size bytes, more than $max_bytes"
fi
