// platform/win32/system.cpp: the program's own module path from the loader, its command
// line and environment in UTF-16, and the ANSI names of files named in UTF-16.
#include "platform/system.h"

#include <stdlib.h>

namespace {

// UTF-16 text as UTF-8; empty when it cannot be converted.
CString Utf8FromWide(const wchar_t* wide) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    char* buffer = size > 0 ? static_cast<char*>(malloc(static_cast<size_t>(size))) : nullptr;
    CString text;
    if (buffer != nullptr &&
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer, size, nullptr, nullptr) == size) {
        text = CString(buffer, size - 1);
    }
    free(buffer);
    return text;
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

// The text in the system code page; false when a character had to be replaced ('?'),
// since no best-fit look-alike is allowed: 'a' for 'α' would name another file.
bool AnsiFromWide(const wchar_t* wide, CString& ansi) {
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &usedDefault);
    char* buffer = size > 0 ? static_cast<char*>(malloc(static_cast<size_t>(size))) : nullptr;
    if (buffer == nullptr || WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, buffer, size,
                                                 nullptr, &usedDefault) != size) {
        free(buffer);
        ansi = CString();
        return false;
    }
    ansi = CString(buffer, size - 1);
    free(buffer);
    return !usedDefault;
}

} // namespace

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
    // GetModuleFileNameW fills the buffer completely when the path is cut short, so grow
    // it until the path fits.
    for (DWORD size = MAX_PATH;; size *= 2) {
        wchar_t* buffer = static_cast<wchar_t*>(malloc(size * sizeof(wchar_t)));
        if (buffer == nullptr) {
            return CString();
        }
        DWORD length = GetModuleFileNameW(nullptr, buffer, size);
        if (length < size) {
            CString path = Utf8FromWide(buffer);
            free(buffer);
            return path;
        }
        free(buffer);
        if (size >= 32768) {
            return CString();
        }
    }
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

bool GetAnsiPath(const char* utf8Path, CString& ansiPath) {
    wchar_t* path = WideFromUtf8(utf8Path);
    if (path == nullptr) {
        return false;
    }
    bool written = AnsiFromWide(path, ansiPath);
    if (!written) {
        DWORD size = GetShortPathNameW(path, nullptr, 0);
        wchar_t* shortPath = size > 0 ? static_cast<wchar_t*>(malloc(size * sizeof(wchar_t))) : nullptr;
        if (shortPath != nullptr && GetShortPathNameW(path, shortPath, size) == size - 1) {
            written = AnsiFromWide(shortPath, ansiPath);
        } else {
            DWORD error = GetLastError();
            written = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        }
        free(shortPath);
    }
    free(path);
    return written;
}
