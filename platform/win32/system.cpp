// platform/win32/system.cpp: the program's own module path from the loader.
#include "platform/system.h"

#include <stdlib.h>

void RestrictDllSearchToSystem() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD flags);
    auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

HMODULE LoadSystemLibrary(const char* name) {
    char directory[MAX_PATH];
    UINT length = GetSystemDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) {
        return nullptr;
    }
    return LoadLibraryA(CString(directory) + "\\" + name);
}

CString GetModulePath() {
    // GetModuleFileNameA fills the buffer completely when the path is cut short, so grow
    // it until the path fits.
    for (DWORD size = MAX_PATH;; size *= 2) {
        char* buffer = static_cast<char*>(malloc(size));
        if (buffer == nullptr) {
            return CString();
        }
        DWORD length = GetModuleFileNameA(nullptr, buffer, size);
        if (length < size) {
            CString path(buffer, static_cast<int>(length));
            free(buffer);
            return path;
        }
        free(buffer);
        if (size >= 32768) {
            return CString();
        }
    }
}
