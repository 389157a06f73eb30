// platform/win32/system.cpp: the program's own module path from the loader, its command
// line and environment in UTF-16, and the ANSI names of files named in UTF-16.
#include "platform/system.h"

#include <stdlib.h>

namespace {

// The longest path Windows knows, in UTF-16 units with the terminating zero.
constexpr DWORD LongestPath = 32768;

// UTF-16 text in a code page. False when it cannot be converted, or, in the system code
// page, when a character had to be replaced ('?'): no best-fit look-alike is allowed,
// since 'a' for 'α' would name another file.
bool NarrowFromWide(UINT codePage, const wchar_t* wide, CString& text) {
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    // UTF-8 can write every character, and takes no question about replacements.
    BOOL* replaced = codePage == CP_UTF8 ? nullptr : &usedDefault;
    int size = WideCharToMultiByte(codePage, flags, wide, -1, nullptr, 0, nullptr, replaced);
    char* buffer = size > 0 ? static_cast<char*>(malloc(static_cast<size_t>(size))) : nullptr;
    bool converted = buffer != nullptr &&
                     WideCharToMultiByte(codePage, flags, wide, -1, buffer, size, nullptr, replaced) == size;
    text = converted ? CString(buffer, size - 1) : CString();
    free(buffer);
    return converted && !usedDefault;
}

// UTF-8 text as UTF-16 in a buffer the caller frees; nullptr when it is not UTF-8.
wchar_t* WideFromUtf8(const char* utf8) {
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    wchar_t* buffer =
        size > 0 ? static_cast<wchar_t*>(malloc(static_cast<size_t>(size) * sizeof(wchar_t))) : nullptr;
    if (buffer != nullptr &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, buffer, size) != size) {
        free(buffer);
        buffer = nullptr;
    }
    return buffer;
}

} // namespace

CString Utf8FromWide(const wchar_t* wide) {
    CString text;
    NarrowFromWide(CP_UTF8, wide, text);
    return text;
}

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
    // Its own dependencies come from the system directory only. Where Windows knows no such
    // flag (Vista, Windows 7 without KB2533623), the call fails, and the altered search
    // then looks beside the library, in the system directory, before anywhere else.
    const CString path = CString(directory) + "\\" + name;
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != nullptr ? module : LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

wchar_t* GetModulePathW() {
    wchar_t* path = static_cast<wchar_t*>(malloc(LongestPath * sizeof(wchar_t)));
    DWORD length = path != nullptr ? GetModuleFileNameW(nullptr, path, LongestPath) : 0;
    if (path != nullptr && (length == 0 || length == LongestPath)) {
        path[0] = L'\0';
    }
    return path;
}

CString GetModulePath() {
    wchar_t* path = GetModulePathW();
    CString text = path != nullptr ? Utf8FromWide(path) : CString();
    free(path);
    return text;
}

CString GetCommandLineUtf8() { return Utf8FromWide(GetCommandLineW()); }

bool GetEnvironmentUtf8(const char* name, CString& value) {
    wchar_t* wideName = WideFromUtf8(name);
    DWORD size = wideName != nullptr ? GetEnvironmentVariableW(wideName, nullptr, 0) : 0;
    wchar_t* buffer = size > 1 ? static_cast<wchar_t*>(malloc(size * sizeof(wchar_t))) : nullptr;
    bool found = buffer != nullptr && GetEnvironmentVariableW(wideName, buffer, size) == size - 1;
    if (found) {
        value = Utf8FromWide(buffer);
    }
    free(buffer);
    free(wideName);
    return found;
}

bool GetCodePagePath(const char* utf8Path, CString& ansiPath) {
    wchar_t* path = WideFromUtf8(utf8Path);
    bool written = path != nullptr && NarrowFromWide(CP_ACP, path, ansiPath);
    free(path);
    return written;
}

bool GetAnsiPath(const char* utf8Path, CString& ansiPath) {
    wchar_t* path = WideFromUtf8(utf8Path);
    if (path == nullptr) {
        return false;
    }
    bool written = NarrowFromWide(CP_ACP, path, ansiPath);
    if (!written) {
        DWORD size = GetShortPathNameW(path, nullptr, 0);
        wchar_t* shortPath = size > 0 ? static_cast<wchar_t*>(malloc(size * sizeof(wchar_t))) : nullptr;
        if (shortPath != nullptr && GetShortPathNameW(path, shortPath, size) == size - 1) {
            written = NarrowFromWide(CP_ACP, shortPath, ansiPath);
        } else {
            DWORD error = GetLastError();
            written = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        }
        free(shortPath);
    }
    free(path);
    return written;
}
