// tools/sfxpack/sysfile.h: sfxpack's own file handling: files by path, their size and
// identity, renames and directories; one system call per method (sysfile_posix.cpp,
// sysfile_win32.cpp). Paths are UTF-8, on Windows converted for the A functions.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "tools/sfxpack/cli.h"

struct FileInfo {
    int64_t size = 0;
    bool isDirectory = false;
    // Two paths name the same file when both parts are equal.
    uint64_t device = 0;
    uint64_t index = 0;
    unsigned mode = 0; // permission bits where the system has them
};

class CSysFile {
  public:
    // Constructors
    CSysFile() = default;
    ~CSysFile();
    CSysFile(const CSysFile&) = delete;
    CSysFile& operator=(const CSysFile&) = delete;

    // Attributes
    bool IsOpen() const { return m_handle != InvalidHandle; }
    bool GetInfo(FileInfo& info) const;

    // Operations
    bool OpenRead(const std::string& path);
    // Creates a new file; fails when the name exists already.
    bool CreateNew(const std::string& path);
    // One read: the bytes it delivered, 0 at the end of the file, -1 on error.
    long ReadSome(void* buffer, size_t count);
    // One write: the bytes it took (0 when interrupted before any), -1 on error.
    long WriteSome(const void* data, size_t count);
    bool SetMode(unsigned mode);
    bool Close();

    // Returns the bytes read: fewer than count only at the end of the file or on error.
    size_t Read(void* buffer, size_t count);
    bool Write(const void* data, size_t count);
    // Copies length bytes from the current position of source to this file, in large
    // pieces (through a memory map where there is one). False when source ends early or
    // a write fails.
    bool CopyFrom(CSysFile& source, int64_t length);

  private:
    static constexpr intptr_t InvalidHandle = -1;
    bool CopyByBlocks(CSysFile& source, int64_t length);

    intptr_t m_handle = InvalidHandle; // owned: a file descriptor or a HANDLE
};

bool GetPathInfo(const std::string& path, FileInfo& info);
// Replaces to with from in one step: to never exists half-written.
bool RenameReplacing(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
bool MakeNewDirectory(const std::string& path);
bool RemoveEmptyDirectory(const std::string& path);
bool IsTerminal(int fd);
unsigned long GetProcessNumber();
// The last system error as text, for messages.
std::string GetSystemErrorText();
// The last failure was a name that exists already.
bool LastErrorIsExists();

// The command line as UTF-8 texts, without the program name. On Windows it is read
// again as UTF-16, since argv holds the ANSI code page and would lose title characters.
Arguments GetUtf8Arguments(int argc, char** argv);
// A UTF-8 path as the system's 8-bit functions take it (CFileStream, fopen); false when
// the path holds a character the system code page lacks.
bool ToSystemPath(const std::string& path, std::string& systemPath);

// --- Built from the above (sysfile.cpp) ----------------------------------------------

// The directory part of a path, "." when there is none; and a path inside a directory.
std::string DirectoryOf(const std::string& path);
std::string JoinPath(const std::string& directory, const std::string& name);
bool IsSameFile(const FileInfo& a, const FileInfo& b);

// A file or directory beside target with a name of its own ("TARGET.sfxpack-PID-N"),
// created by create(candidate) which fails when the name is taken.
template <typename Create>
bool CreateBeside(const std::string& target, std::string& created, Create create) {
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = target + FormatText(".sfxpack-%lu-%u", GetProcessNumber(), attempt);
        if (create(candidate)) {
            created = candidate;
            return true;
        }
        if (!LastErrorIsExists()) {
            return false;
        }
    }
    return false;
}
