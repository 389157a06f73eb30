// tools/sfxpack/sysfile_win32.cpp: sfxpack's calls on paths, on Win32. Paths arrive as
// UTF-8 and go to the A functions in the system code page, as the engine's do.
#include "tools/sfxpack/sysfile.h"

#include <io.h>

#include "platform/wintypes.h"

// shellapi.h needs windows.h first.
#include <shellapi.h>

namespace {

// UTF-16 to UTF-8 or to the system code page; false when a character has no equivalent.
bool FromWide(const wchar_t* text, UINT codePage, std::string& result) {
    BOOL usedDefault = FALSE;
    BOOL* check = codePage == CP_UTF8 ? nullptr : &usedDefault;
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int length = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, check);
    if (length <= 0 || usedDefault) {
        return false;
    }
    result.assign(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, text, -1, &result[0], length, nullptr, nullptr);
    result.resize(static_cast<size_t>(length) - 1);
    return true;
}

} // namespace

bool RenameReplacing(const std::string& from, const std::string& to) {
    std::string systemFrom;
    std::string systemTo;
    return ToSystemPath(from, systemFrom) && ToSystemPath(to, systemTo) &&
           MoveFileExA(systemFrom.c_str(), systemTo.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool RemoveFile(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && DeleteFileA(systemPath.c_str()) != FALSE;
}

bool MakeNewDirectory(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && CreateDirectoryA(systemPath.c_str(), nullptr) != FALSE;
}

bool RemoveEmptyDirectory(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && RemoveDirectoryA(systemPath.c_str()) != FALSE;
}

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

unsigned long GetProcessNumber() { return GetCurrentProcessId(); }

std::string GetSystemErrorText() {
    char text[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  GetLastError(), 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) {
        --length;
    }
    return length > 0 ? std::string(text, length) : FormatText("error %lu", GetLastError());
}

bool LastErrorIsExists() {
    DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

Arguments GetUtf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return Arguments(argv + 1, argv + argc);
    }
    Arguments args;
    for (int i = 1; i < count; ++i) {
        std::string arg;
        FromWide(wide[i], CP_UTF8, arg);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}

bool ToSystemPath(const std::string& path, std::string& systemPath) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, &wide[0], length);
    return FromWide(wide.c_str(), CP_ACP, systemPath);
}

// Windows paths are the system's own.
void UseHostPaths() {}
