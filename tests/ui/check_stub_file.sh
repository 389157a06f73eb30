#!/bin/bash
# Checks a built stub from its file, for targets whose programs cannot run here:
#   check_stub_file.sh OBJDUMP WINDRES STUB pe32|pe32+
# a GUI program of the expected PE format, carrying both dialogs, the About string, the
# icon group and the version block as the installer's resources define them.
set -euo pipefail
objdump=$1
windres=$2
stub=$3
format=$4

headers=$("$objdump" -p "$stub")
want_magic=$([ "$format" = pe32 ] && echo 010b || echo 020b)
grep -q "^Magic.*$want_magic" <<<"$headers" || { echo "$stub: not $format"; exit 1; }
grep -q "^Subsystem.*(Windows GUI)" <<<"$headers" || { echo "$stub: not a GUI program"; exit 1; }

resources=$("$windres" -i "$stub" -O rc)
status=0
while IFS= read -r line; do
    [ -z "$line" ] && continue
    if ! grep -qF -- "$line" <<<"$resources"; then
        echo "$stub: resources lack: $line"
        status=1
    fi
done <<'EXPECTED'
100 DIALOG 0, 0, 199, 218
CAPTION "About Kelvane Pro Self-Extractor"
102 DIALOGEX 0, 0, 258, 66
CAPTION "Kelvane Pro Self-Extractor"
FONT 8, "MS Sans Serif", 400, 0, 1
101, "&About TQ5..."
"\020\020\000\000", 1, 8,
"\040\040\000\000", 1, 8,
"\060\060\000\000", 1, 8,
FILEVERSION 1, 0, 0, 1
PRODUCTVERSION 1, 0, 0, 1
FILEFLAGSMASK 0x3f
FILEOS 0x4
FILETYPE 0x1
BLOCK "040904b0"
VALUE "CompanyName", ""
VALUE "FileDescription", "KelvanePro Self Extractor"
VALUE "FileVersion", "1, 0, 0, 1"
VALUE "InternalName", "TQ5"
VALUE "LegalCopyright",
VALUE "OriginalFilename", "TQ5.EXE"
VALUE "ProductName", "KelvanePro Self Extractor"
VALUE "ProductVersion", "1, 0, 0, 1"
VALUE "Translation", 0x409, 1200
EXPECTED
grep -q "^LANGUAGE 9, 1" <<<"$resources" || { echo "$stub: resources not in US English"; status=1; }
if grep "^LANGUAGE" <<<"$resources" | grep -qv "^LANGUAGE 9, 1"; then
    echo "$stub: a resource in another language"
    status=1
fi
exit $status
