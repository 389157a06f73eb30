// platform/posix/directory.cpp: the calls on files and directories of platform/process.h,
// on POSIX paths.
#include "platform/process.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cstring.h"

BOOL SetCurrentDirectoryA(const char* path) { return chdir(path) == 0; }

BOOL DeleteFileA(const char* path) { return unlink(path) == 0; }

BOOL CreateDirectoryA(const char* path, void* /*security*/) { return mkdir(path, 0700) == 0; }

BOOL CreatePrivateDirectory(const char* path) { return CreateDirectoryA(path, nullptr); }

BOOL RemoveDirectoryA(const char* path) { return rmdir(path) == 0; }

DWORD GetLastError() {
    switch (errno) {
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case EACCES:
        return ERROR_ACCESS_DENIED;
    }
    return static_cast<DWORD>(errno);
}

void Sleep(DWORD milliseconds) { usleep(milliseconds * 1000); }

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
