// platform/posix/directory.cpp: the calls on files and directories of platform/process.h,
// on POSIX paths.
#include "platform/process.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

BOOL SetCurrentDirectoryA(const char* path) { return chdir(path) == 0; }

BOOL DeleteFileA(const char* path) { return unlink(path) == 0; }

BOOL CreateDirectoryA(const char* path, void* /*security*/) { return mkdir(path, 0700) == 0; }

BOOL RemoveDirectoryA(const char* path) { return rmdir(path) == 0; }

DWORD GetLastError() { return errno == EEXIST ? ERROR_ALREADY_EXISTS : static_cast<DWORD>(errno); }
