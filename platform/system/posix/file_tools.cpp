// platform/system/posix/file_tools.cpp: the system calls under the part of CFileStream
// that only the tools use, on POSIX descriptors and Linux's splice (see
// platform/system/file_tools.cpp), and the text of the last error.
#include "platform/system/file.h"
#include "platform/system/filesystem.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/system/posix/copy_limit.h"

namespace {

int AsDescriptor(intptr_t handle) { return static_cast<int>(handle); }

void FillInfo(const struct stat& status, FileInfo& info) {
    info.size = status.st_size;
    info.isDirectory = S_ISDIR(status.st_mode);
    info.isSpecial = !S_ISDIR(status.st_mode) && !S_ISREG(status.st_mode);
    info.device = static_cast<uint64_t>(status.st_dev);
    info.index = static_cast<uint64_t>(status.st_ino);
    info.mode = status.st_mode & 07777;
}

int64_t g_kernelCopyLimit = -1;

// The pipe that carries a copy's pages: 1 MiB, the most a process may ask for without
// privileges (fs.pipe-max-size). A piece fills half of it, so that a source not aligned
// to pages like the target still fits.
constexpr int CopyPipeSize = 1024 * 1024;

// Splices from one file to the other through a pipe: the kernel hands the source's
// cached pages to the pipe and copies them once, into the target's. copy_file_range
// does the same through a pipe of 64 KiB whose pieces start wherever the last one
// ended; where source and target are not aligned alike, as every entry of an
// installer, the copy takes 1.2 to 1.4 times as long as cp. Pieces that end on the
// target's boundaries of their own size take about as long as cp: 512 KiB pieces 1.00
// times on average over seven runs of bench/sfxpack_bench, 256 KiB ones 1.06, also in
// a process started just after much memory was freed, which on a virtual machine can
// slow the first writes to memory its host took back.
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

void PosixLimitKernelCopy(int64_t bytes) { g_kernelCopyLimit = bytes; }

int64_t CFileStream::OsCopy(intptr_t from, int64_t fromOffset, intptr_t to, int64_t toOffset, int64_t count) {
    if (g_kernelCopyLimit >= 0 && count > g_kernelCopyLimit) {
        count = g_kernelCopyLimit;
    }
    return SpliceRange(AsDescriptor(from), fromOffset, AsDescriptor(to), toOffset, count);
}

bool CFileStream::CopiesInSystem() { return g_kernelCopyLimit != 0; }

size_t CFileStream::OsReadAt(intptr_t handle, int64_t offset, void* buffer, size_t count) {
    char* next = static_cast<char*>(buffer);
    size_t got = 0;
    while (got < count) {
        const ssize_t n =
            pread(AsDescriptor(handle), next + got, count - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    return got;
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
    if (stat(path, &status) != 0) {
        return false;
    }
    FillInfo(status, info);
    return true;
}

bool CFileStream::SetPermissions(unsigned mode) { return fchmod(AsDescriptor(m_handle), mode) == 0; }

CString GetLastErrorText() { return strerror(errno); }

int64_t CFileStream::OsLength(intptr_t handle) {
    struct stat info;
    return fstat(AsDescriptor(handle), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}
