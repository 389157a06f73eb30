// platform/system/posix/file.cpp: the system calls under CFileStream, on POSIX descriptors.
// Paths are the host's own, taken as they are.
#include "platform/system/file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int AsDescriptor(intptr_t handle) { return static_cast<int>(handle); }

// How each mode opens its file, in the order of CFileStream::OpenMode.
const int OpenFlags[] = {O_RDONLY, O_WRONLY | O_CREAT | O_TRUNC, O_WRONLY | O_CREAT | O_EXCL, O_WRONLY};

} // namespace

intptr_t CFileStream::OsOpen(const char* path, OpenMode mode) {
    // Windows runs any file that holds a program; here the file needs the right to run,
    // so that an extracted setup program can be started.
    int fd = open(path, OpenFlags[mode] | O_CLOEXEC, 0777);
    if (fd < 0) {
        return InvalidHandle;
    }
    // Windows opens no directory as a file; neither do we.
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        errno = EISDIR;
        return InvalidHandle;
    }
    return fd;
}

size_t CFileStream::OsRead(intptr_t handle, void* buffer, size_t count) {
    ssize_t got;
    do {
        got = read(AsDescriptor(handle), buffer, count);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<size_t>(got) : 0;
}

bool CFileStream::OsWrite(intptr_t handle, const void* data, size_t count) {
    const char* next = static_cast<const char*>(data);
    while (count > 0) {
        ssize_t written = write(AsDescriptor(handle), next, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

int64_t CFileStream::OsSeek(intptr_t handle, int64_t offset, SeekOrigin origin) {
    return lseek(AsDescriptor(handle), offset, origin == fromStart ? SEEK_SET : SEEK_END);
}

bool CFileStream::OsClose(intptr_t handle) { return close(AsDescriptor(handle)) == 0; }

intptr_t CFileStream::OsReopen(intptr_t handle, bool /*othersMayWrite*/) {
    // Linux opens the very file a descriptor has open through its /proc link, whatever
    // its name has become. Nothing here can keep others from writing.
    char link[32];
    snprintf(link, sizeof link, "/proc/self/fd/%d", AsDescriptor(handle));
    int fd = open(link, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? InvalidHandle : fd;
}
