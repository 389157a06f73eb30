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

// --- Built from the above (sysfile.cpp) ----------------------------------------------

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
