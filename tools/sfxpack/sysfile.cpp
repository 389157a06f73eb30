// tools/sfxpack/sysfile.cpp: sfxpack's UTF-8 paths and arguments on the system layer.
#include "tools/sfxpack/sysfile.h"

#include "platform/system/text.h"

#ifdef _WIN32
// shellapi.h needs windows.h first, which platform/wintypes.h brings.
#include <shellapi.h>
#else
#include <sched.h>
#include <unistd.h>
#endif

#ifdef _WIN32

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

int CountProcessors() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        return 1;
    }
    int count = 0;
    for (; process != 0; process &= process - 1) {
        ++count;
    }
    return count;
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
#else
Arguments GetUtf8Arguments(int argc, char** argv) { return Arguments(argv + 1, argv + argc); }

int CountProcessors() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        return CPU_COUNT(&allowed);
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

bool ToSystemPath(const std::string& path, std::string& systemPath) {
    systemPath = path;
    return true;
}
#endif

bool OpenFile(CFileStream& file, const std::string& path, CFileStream::OpenMode mode) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && file.Open(systemPath.c_str(), mode);
}

bool GetPathInfo(const std::string& path, FileInfo& info) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && CFileStream::GetInfo(systemPath.c_str(), info);
}

bool RemoveFile(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && DeleteFileA(systemPath.c_str()) != FALSE;
}

bool RemoveEmptyDirectory(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && RemoveDirectoryA(systemPath.c_str()) != FALSE;
}

bool MakeNewDirectory(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && CreateDirectoryA(systemPath.c_str(), nullptr) != FALSE;
}

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

std::string GetSystemErrorText() {
    const CString text = GetLastErrorText();
    return std::string(text.GetString(), static_cast<size_t>(text.GetLength()));
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory.back() == '/' || directory.back() == SFX_PATH_SEPARATOR[0]) {
        return directory + name;
    }
    return directory + SFX_PATH_SEPARATOR + name;
}
