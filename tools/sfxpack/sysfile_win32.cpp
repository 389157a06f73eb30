// tools/sfxpack/sysfile_win32.cpp: sfxpack's calls on paths, on Win32. Paths arrive as
// UTF-8 and go to the A functions in the system code page, as the engine's do.
#include "tools/sfxpack/sysfile.h"

#include <io.h>

#include "platform/system.h"
#include "platform/wintypes.h"

// shellapi.h needs windows.h first.
#include <shellapi.h>

bool RenameReplacing(const std::string& from, const std::string& to) {
    std::string systemFrom;
    std::string systemTo;
    return ToSystemPath(from, systemFrom) && ToSystemPath(to, systemTo) &&
           MoveFileExA(systemFrom.c_str(), systemTo.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool ClearReadOnly(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) &&
           SetFileAttributesA(systemPath.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool MakeNewDirectory(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && CreateDirectoryA(systemPath.c_str(), nullptr) != FALSE;
}

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

uint32_t GetProcessNumber() { return GetCurrentProcessId(); }

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

bool LastErrorIsMissing() {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

Arguments GetUtf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return Arguments(argv + 1, argv + argc);
    }
    Arguments args;
    for (int i = 1; i < count; ++i) {
        const CString arg = Utf8FromWide(wide[i]);
        args.emplace_back(arg.GetString(), static_cast<size_t>(arg.GetLength()));
    }
    LocalFree(wide);
    return args;
}

bool ToSystemPath(const std::string& path, std::string& systemPath) {
    CString name;
    if (!GetCodePagePath(path.c_str(), name)) {
        // For the message, which would otherwise tell of whatever call failed last.
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    systemPath.assign(name.GetString(), static_cast<size_t>(name.GetLength()));
    return true;
}

void* MapFileView(const CFileStream& file, int64_t offset, size_t length) {
    HANDLE mapping = CreateFileMappingA(reinterpret_cast<HANDLE>(file.GetOsHandle()), nullptr, PAGE_READONLY,
                                        0, 0, nullptr);
    if (mapping == nullptr) {
        return nullptr;
    }
    void* base =
        MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32),
                      static_cast<DWORD>(offset), length);
    CloseHandle(mapping); // the view keeps what it maps
    return base;
}

void UnmapFileView(void* base, size_t) { UnmapViewOfFile(base); }

bool ReadViewsGuarded(bool (*work)(void*), void* context) { return work(context); }
