// platform/system/win32/text.cpp: text between UTF-8, UTF-16 and the code pages through
// the system's own tables, and the ANSI names of files named in UTF-16.
#include "platform/system/text.h"

#include <stdlib.h>

#include "platform/wintypes.h"

namespace {

// UTF-16 text in a code page. False when it cannot be converted, or, outside UTF-8, when
// a character had to be replaced ('?'): WC_NO_BEST_FIT_CHARS keeps Windows from writing
// a look-alike silently.
bool NarrowFromWide(UINT codePage, const wchar_t* wide, int units, CString& text) {
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    // UTF-8 can write every character, and takes no question about replacements.
    BOOL* replaced = codePage == CP_UTF8 ? nullptr : &usedDefault;
    int size = WideCharToMultiByte(codePage, flags, wide, units, nullptr, 0, nullptr, replaced);
    char* buffer = size > 0 ? static_cast<char*>(malloc(static_cast<size_t>(size))) : nullptr;
    bool converted = buffer != nullptr && WideCharToMultiByte(codePage, flags, wide, units, buffer, size,
                                                              nullptr, replaced) == size;
    // A length of -1 counts the terminating zero, which is no part of the text.
    text = converted ? CString(buffer, size - (units < 0 ? 1 : 0)) : CString();
    free(buffer);
    return converted && !usedDefault;
}

// Text in a code page as UTF-16, in a buffer the caller frees, and its units (with the
// terminating zero when length is -1); nullptr when it is no valid text there.
wchar_t* WideFromNarrow(UINT codePage, const char* text, int length, int& units) {
    units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    wchar_t* buffer =
        units > 0 ? static_cast<wchar_t*>(malloc(static_cast<size_t>(units) * sizeof(wchar_t))) : nullptr;
    if (buffer != nullptr &&
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, length, buffer, units) != units) {
        free(buffer);
        buffer = nullptr;
    }
    return buffer;
}

// Between two code pages through UTF-16.
bool Convert(UINT from, const char* text, int length, UINT to, CString& converted) {
    int units = 0;
    wchar_t* wide = WideFromNarrow(from, text, length, units);
    bool done = wide != nullptr && NarrowFromWide(to, wide, units, converted);
    free(wide);
    return done;
}

} // namespace

bool ConvertFromUtf8(const char* utf8, size_t length, unsigned codePage, CString& text) {
    text = CString();
    return length == 0 ||
           (IsKnownCodePage(codePage) && Convert(CP_UTF8, utf8, static_cast<int>(length), codePage, text));
}

bool ConvertToUtf8(const char* text, size_t length, unsigned codePage, CString& utf8) {
    utf8 = CString();
    return length == 0 || Convert(codePage, text, static_cast<int>(length), CP_UTF8, utf8);
}

bool IsKnownCodePage(unsigned codePage) {
    // Asked of the conversion itself, which refuses a code page the system lacks.
    return MultiByteToWideChar(codePage, 0, "A", 1, nullptr, 0) == 1;
}

CString Utf8FromWide(const wchar_t* wide) {
    CString text;
    NarrowFromWide(CP_UTF8, wide, -1, text);
    return text;
}

bool GetCodePagePath(const char* utf8Path, CString& ansiPath) {
    return Convert(CP_UTF8, utf8Path, -1, CP_ACP, ansiPath);
}

bool GetAnsiPath(const char* utf8Path, CString& ansiPath) {
    int units = 0;
    wchar_t* path = WideFromNarrow(CP_UTF8, utf8Path, -1, units);
    if (path == nullptr) {
        return false;
    }
    bool written = NarrowFromWide(CP_ACP, path, -1, ansiPath);
    if (!written) {
        DWORD size = GetShortPathNameW(path, nullptr, 0);
        wchar_t* shortPath = size > 0 ? static_cast<wchar_t*>(malloc(size * sizeof(wchar_t))) : nullptr;
        if (shortPath != nullptr && GetShortPathNameW(path, shortPath, size) == size - 1) {
            written = NarrowFromWide(CP_ACP, shortPath, -1, ansiPath);
        } else {
            DWORD error = GetLastError();
            written = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        }
        free(shortPath);
    }
    free(path);
    return written;
}
