// platform/system/posix/filesystem.cpp: the calls on paths of filesystem.h, on POSIX paths.
#include "platform/system/filesystem.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

BOOL SetCurrentDirectoryA(const char* path) { return chdir(path) == 0; }

BOOL DeleteFileA(const char* path) { return unlink(path) == 0; }

BOOL CreateDirectoryA(const char* path, void* /*security*/) { return mkdir(path, 0777) == 0; }

BOOL CreatePrivateDirectory(const char* path) { return mkdir(path, 0700) == 0; }

BOOL RemoveDirectoryA(const char* path) { return rmdir(path) == 0; }

BOOL MoveFileExA(const char* from, const char* to, DWORD /*flags*/) { return rename(from, to) == 0; }

BOOL SetFileAttributesA(const char* /*path*/, DWORD /*attributes*/) { return TRUE; }

DWORD GetLastError() {
    switch (errno) {
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case EACCES:
        return ERROR_ACCESS_DENIED;
    }
    // ENOENT is 2, ERROR_FILE_NOT_FOUND.
    return static_cast<DWORD>(errno);
}

DWORD GetFullPathNameA(const char* path, DWORD size, char* buffer, char** /*filePart*/) {
    CString full = path;
    if (path[0] != '/') {
        char* directory = getcwd(nullptr, 0);
        if (directory == nullptr) {
            return 0;
        }
        full = CString(directory) + "/" + path;
        free(directory);
    }
    const DWORD length = static_cast<DWORD>(full.GetLength());
    if (length >= size) {
        return length + 1;
    }
    memcpy(buffer, full.GetString(), length + 1);
    return length;
}
