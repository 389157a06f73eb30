// tools/sfxpack/sysfile.h: what sfxpack asks of the system besides CFileStream
// (platform/file.h), which opens, reads, writes and copies its files: calls on paths,
// the command line and error texts. Paths are UTF-8, on Windows converted for the A
// functions; one system call per function (sysfile_posix.cpp, sysfile_win32.cpp).
#pragma once

#include <string>

#include "platform/file.h"
#include "platform/unique_name.h"
#include "tools/sfxpack/cli.h"

// Replaces to with from in one step: to never exists half-written.
bool RenameReplacing(const std::string& from, const std::string& to);
// Lets a file be deleted that Windows would keep as read-only; nothing elsewhere.
bool ClearReadOnly(const std::string& path);
bool MakeNewDirectory(const std::string& path);
bool IsTerminal(int fd);
uint32_t GetProcessNumber();
// The last system error as text, for messages.
std::string GetSystemErrorText();
// The last failure was a name that exists already.
bool LastErrorIsExists();
// The last failure was a name that does not exist.
bool LastErrorIsMissing();

// The command line as UTF-8 texts, without the program name. On Windows it is read
// again as UTF-16, since argv holds the ANSI code page and would lose title characters.
Arguments GetUtf8Arguments(int argc, char** argv);
// A UTF-8 path as the system's 8-bit functions take it (CFileStream); false when the
// path holds a character the system code page lacks.
bool ToSystemPath(const std::string& path, std::string& systemPath);

// A read-only mapping of length bytes of an open file from offset on (a multiple of
// FileViewAlignment), or nullptr; and its end. The mapping outlives neither the file
// nor a change of its length.
void* MapFileView(const CFileStream& file, int64_t offset, size_t length);
void UnmapFileView(void* base, size_t length);
// Runs work(context), which reads mapped views: its answer, or false when a view's file
// shrank under it. (POSIX raises SIGBUS for such a read, which would end the program and
// leave its staging files; Windows does not let a mapped file shrink.)
bool ReadViewsGuarded(bool (*work)(void*), void* context);

// --- Built from the above (sysfile.cpp) ----------------------------------------------

// Where a view may begin: Windows maps from multiples of 64 KiB, POSIX of a page.
constexpr int64_t FileViewAlignment = 64 * 1024;

// Part of an open file in memory: its bytes are read where the system caches them, with
// no copy into a buffer of ours.
class CFileView {
  public:
    CFileView() = default;
    ~CFileView() { Unmap(); }
    CFileView(const CFileView&) = delete;
    CFileView& operator=(const CFileView&) = delete;

    // Maps length bytes from offset on, in place of any earlier view; false when the file
    // does not hold them all today or the system maps none.
    bool Map(const CFileStream& file, int64_t offset, size_t length);
    const unsigned char* GetData() const { return m_data; }
    void Unmap();

  private:
    void* m_base = nullptr; // owned: the mapping, UnmapFileView in Unmap
    size_t m_mapped = 0;    // its length, from an aligned offset
    const unsigned char* m_data = nullptr;
};

bool OpenFile(CFileStream& file, const std::string& path, CFileStream::OpenMode mode);
// The platform's own calls (platform/process.h), on the system path.
bool RemoveFile(const std::string& path);
bool RemoveEmptyDirectory(const std::string& path);
bool GetPathInfo(const std::string& path, FileInfo& info);
// A path inside a directory.
std::string JoinPath(const std::string& directory, const std::string& name);
bool IsSameFile(const FileInfo& a, const FileInfo& b);

// A file or directory beside target with a name of its own ("TARGET.sfxpack-PID-N"),
// created by create(candidate) which fails when the name is taken.
template <typename Create>
bool CreateBeside(const std::string& target, std::string& created, Create create) {
    const CString stem = CString(target.c_str()) + ".sfxpack-" + DecimalText(GetProcessNumber()) + "-";
    CString made;
    if (!CreateUniquelyNamed(
            stem, 1000, made, [&create](const CString& name) { return create(std::string(name)); },
            LastErrorIsExists)) {
        return false;
    }
    created = std::string(made);
    return true;
}
