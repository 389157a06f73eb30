// platform/portable/file.cpp: the system calls under CFileStream, on POSIX descriptors
// (and Linux's splice for copies). Paths arrive in Windows form and are mapped onto the
// host first, unless the program works with host paths (control.h).
#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/portable/control.h"

namespace {

int AsDescriptor(intptr_t handle) { return static_cast<int>(handle); }

void FillInfo(const struct stat& status, FileInfo& info) {
    info.size = status.st_size;
    info.isDirectory = S_ISDIR(status.st_mode);
    info.device = static_cast<uint64_t>(status.st_dev);
    info.index = static_cast<uint64_t>(status.st_ino);
    info.mode = status.st_mode & 07777;
}

// How each mode opens its file, in the order of CFileStream::OpenMode.
const int OpenFlags[] = {O_RDONLY, O_WRONLY | O_CREAT | O_TRUNC, O_WRONLY | O_CREAT | O_EXCL, O_WRONLY};

int64_t g_kernelCopyLimit = -1;

// The pipe that carries a copy's pages. A piece fills half of it, so that a source not
// aligned to pages like the target still fits.
constexpr int CopyPipeSize = 512 * 1024;

// Splices from one file to the other through a pipe: the kernel hands the source's
// cached pages to the pipe and copies them once, into the target's. copy_file_range
// does the same through a pipe of 64 KiB whose pieces start wherever the last one
// ended; where source and target are not aligned alike, as every entry of an
// installer, the copy takes 1.2 to 1.4 times as long as cp. Pieces that end on the
// target's 256 KiB boundaries take as long as cp. Larger ones do too while free memory
// is at hand, but on a virtual machine that hands free memory back to its host, the
// large folios they fill take 6 to 8 times as long.
int64_t SpliceRange(int from, loff_t in, int to, const loff_t toOffset, int64_t count) {
    int pipe[2];
    if (count <= 0 || pipe2(pipe, O_CLOEXEC) != 0) {
        return 0;
    }
    fcntl(pipe[1], F_SETPIPE_SZ, CopyPipeSize);
    const int64_t chunk = fcntl(pipe[1], F_GETPIPE_SZ) / 2;
    loff_t out = toOffset;
    while (chunk > 0 && out - toOffset < count) {
        const int64_t toBoundary = chunk - out % chunk;
        const int64_t rest = count - (out - toOffset);
        ssize_t held = splice(from, &in, pipe[1], nullptr,
                              static_cast<size_t>(toBoundary < rest ? toBoundary : rest), 0);
        ssize_t put = 0;
        while (held > 0 && (put = splice(pipe[0], nullptr, to, &out, static_cast<size_t>(held), 0)) > 0) {
            held -= put;
        }
        // The source ended, or the kernel refused or failed: the caller carries on.
        if (held != 0 || put <= 0) {
            break;
        }
    }
    close(pipe[0]);
    close(pipe[1]);
    return out - toOffset;
}

} // namespace

void PortableLimitKernelCopy(int64_t bytes) { g_kernelCopyLimit = bytes; }

intptr_t CFileStream::OsOpen(const char* path, OpenMode mode) {
    CString hostPath = PortableHostPath(path);
    // Windows runs any file that holds a program; here the file needs the right to run,
    // so that an extracted setup program can be started.
    int fd = open(hostPath, OpenFlags[mode] | O_CLOEXEC, 0777);
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

int64_t CFileStream::OsCopy(intptr_t from, int64_t fromOffset, intptr_t to, int64_t toOffset, int64_t count) {
    if (g_kernelCopyLimit >= 0 && count > g_kernelCopyLimit) {
        count = g_kernelCopyLimit;
    }
    return SpliceRange(AsDescriptor(from), fromOffset, AsDescriptor(to), toOffset, count);
}

bool CFileStream::GetInfo(FileInfo& info) const {
    struct stat status;
    if (fstat(AsDescriptor(m_handle), &status) != 0) {
        return false;
    }
    FillInfo(status, info);
    return true;
}

bool CFileStream::GetInfo(const char* path, FileInfo& info) {
    struct stat status;
    if (stat(PortableHostPath(path), &status) != 0) {
        return false;
    }
    FillInfo(status, info);
    return true;
}

bool CFileStream::SetPermissions(unsigned mode) { return fchmod(AsDescriptor(m_handle), mode) == 0; }
