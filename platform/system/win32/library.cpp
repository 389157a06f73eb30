// platform/system/win32/library.cpp: DLLs from the system directory only.
#include "platform/system/library.h"

#include "platform/system/cstring.h"

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
    // The system directory, a backslash and the name, which is one of a few fixed ones of
    // at most 15 characters.
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    path[length] = '\\';
    for (char* end = path + length + 1; (*end = *name) != '\0'; ++end, ++name) {
    }
    // Its own dependencies come from the system directory only. Where Windows knows no such
    // flag (Vista, Windows 7 without KB2533623), the call fails, and the altered search
    // then looks beside the library, in the system directory, before anywhere else.
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != nullptr ? module : LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
