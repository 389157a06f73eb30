// tests/late_import_probe.cpp: a program that imports a function Windows 7 lacks without
// an update, which the check of a shipped program's imports must refuse (and, linked for
// an older Windows, the check of its header).
#include <windows.h>

int main() { return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) ? 0 : 1; }
