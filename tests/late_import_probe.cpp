// tests/late_import_probe.cpp: imports what Windows 7 lacks without an update, for
// check_pe.sh to refuse.
#include <windows.h>

int main() { return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) ? 0 : 1; }
