// tools/sfxpack/sysfile_posix.cpp: sfxpack's file layer on POSIX descriptors. Input is
// copied through a memory map in large writes, which keeps pace with cp.
#include "tools/sfxpack/sysfile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large enough that each write costs little next to its copying.
constexpr size_t WritePiece = 16u << 20;

int AsDescriptor(intptr_t handle) { return static_cast<int>(handle); }

void FillInfo(const struct stat& status, FileInfo& info) {
    info.size = status.st_size;
    info.isDirectory = S_ISDIR(status.st_mode);
    info.device = static_cast<uint64_t>(status.st_dev);
    info.index = static_cast<uint64_t>(status.st_ino);
    info.mode = status.st_mode & 07777;
}

// A read-only view of part of a file, unmapped when it goes.
class CFileView {
  public:
    // MAP_POPULATE maps every page at once: taking them one fault at a time made the
    // copy three times slower than cp.
    CFileView(int fd, size_t length, off_t offset) : m_length(length) {
        m_data = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, offset);
    }
    ~CFileView() {
        if (IsMapped()) {
            munmap(m_data, m_length);
        }
    }
    CFileView(const CFileView&) = delete;
    CFileView& operator=(const CFileView&) = delete;

    bool IsMapped() const { return m_data != MAP_FAILED; }
    const unsigned char* GetData() const { return static_cast<const unsigned char*>(m_data); }
    void AdviseSequential() { madvise(m_data, m_length, MADV_SEQUENTIAL); }

  private:
    void* m_data;
    size_t m_length;
};

} // namespace

CSysFile::~CSysFile() { Close(); }

bool CSysFile::GetInfo(FileInfo& info) const {
    struct stat status;
    if (fstat(AsDescriptor(m_handle), &status) != 0) {
        return false;
    }
    FillInfo(status, info);
    return true;
}

bool CSysFile::OpenRead(const std::string& path) {
    Close();
    m_handle = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return IsOpen();
}

bool CSysFile::CreateNew(const std::string& path) {
    Close();
    m_handle = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return IsOpen();
}

long CSysFile::ReadSome(void* buffer, size_t count) {
    ssize_t got = read(AsDescriptor(m_handle), buffer, count);
    return got < 0 && errno == EINTR ? ReadSome(buffer, count) : static_cast<long>(got);
}

long CSysFile::WriteSome(const void* data, size_t count) {
    ssize_t written = write(AsDescriptor(m_handle), data, count);
    return written < 0 && errno == EINTR ? 0 : static_cast<long>(written);
}

bool CSysFile::SetMode(unsigned mode) { return fchmod(AsDescriptor(m_handle), mode) == 0; }

bool CSysFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    bool closed = close(AsDescriptor(m_handle)) == 0;
    m_handle = InvalidHandle;
    return closed;
}

bool CSysFile::CopyFrom(CSysFile& source, int64_t length) {
    if (length == 0) {
        return true;
    }
    off_t start = lseek(AsDescriptor(source.m_handle), 0, SEEK_CUR);
    FileInfo info;
    if (start < 0 || !source.GetInfo(info) || info.size - start < length) {
        return false;
    }
    // The view must start on a page boundary; the bytes before start are skipped.
    off_t page = sysconf(_SC_PAGESIZE);
    off_t viewStart = start - start % page;
    size_t skip = static_cast<size_t>(start - viewStart);
    CFileView view(AsDescriptor(source.m_handle), skip + static_cast<size_t>(length), viewStart);
    if (!view.IsMapped()) {
        return CopyByBlocks(source, length);
    }
    view.AdviseSequential();
    for (int64_t done = 0; done < length;) {
        size_t piece = length - done < static_cast<int64_t>(WritePiece) ? static_cast<size_t>(length - done)
                                                                        : WritePiece;
        if (!Write(view.GetData() + skip + done, piece)) {
            return false;
        }
        done += static_cast<int64_t>(piece);
    }
    return lseek(AsDescriptor(source.m_handle), start + length, SEEK_SET) >= 0;
}

bool GetPathInfo(const std::string& path, FileInfo& info) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        return false;
    }
    FillInfo(status, info);
    return true;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool MakeNewDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveEmptyDirectory(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool IsTerminal(int fd) { return isatty(fd) != 0; }

unsigned long GetProcessNumber() { return static_cast<unsigned long>(getpid()); }

std::string GetSystemErrorText() { return strerror(errno); }

bool LastErrorIsExists() { return errno == EEXIST; }

Arguments GetUtf8Arguments(int argc, char** argv) { return Arguments(argv + 1, argv + argc); }

bool ToSystemPath(const std::string& path, std::string& systemPath) {
    systemPath = path;
    return true;
}
