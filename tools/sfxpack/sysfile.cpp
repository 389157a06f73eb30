// tools/sfxpack/sysfile.cpp: the parts of sfxpack's calls on paths that are the same on
// every system.
#include "tools/sfxpack/sysfile.h"

#include "platform/process.h"

bool OpenFile(CFileStream& file, const std::string& path, CFileStream::OpenMode mode) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && file.Open(systemPath.c_str(), mode);
}

bool RemoveFile(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && DeleteFileA(systemPath.c_str()) != FALSE;
}

bool RemoveEmptyDirectory(const std::string& path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && RemoveDirectoryA(systemPath.c_str()) != FALSE;
}

bool GetPathInfo(const std::string& path, FileInfo& info) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && CFileStream::GetInfo(systemPath.c_str(), info);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory.back() == '/' || directory.back() == '\\') {
        return directory + name;
    }
    return directory + "/" + name;
}

bool IsSameFile(const FileInfo& a, const FileInfo& b) { return a.device == b.device && a.index == b.index; }
