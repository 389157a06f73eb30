// tools/sfxpack/sysfile.h: sfxpack's own side of the system layer: its paths and
// arguments are UTF-8, which Windows' 8-bit functions take only in the system code page.
// Each call on a path converts it (ToSystemPath) and makes one call of platform/system.
#pragma once

#include <string>

#include "platform/system/file.h"
#include "platform/system/filesystem.h"
#include "platform/system/process.h"
#include "platform/system/unique_name.h"
#include "tools/sfxpack/cli.h"

// The command line as UTF-8 texts, without the program name. On Windows it is read
// again as UTF-16, since argv holds the ANSI code page and would lose title characters.
Arguments GetUtf8Arguments(int argc, char** argv);
// A UTF-8 path as the system's 8-bit functions take it (CFileStream); false when the
// path holds a character the system code page lacks.
bool ToSystemPath(const std::string& path, std::string& systemPath);

bool OpenFile(CFileStream& file, const std::string& path, CFileStream::OpenMode mode);
bool GetPathInfo(const std::string& path, FileInfo& info);
bool RemoveFile(const std::string& path);
bool RemoveEmptyDirectory(const std::string& path);
// A directory with the permissions the umask leaves: the user's own choice for output.
bool MakeNewDirectory(const std::string& path);
// Replaces to with from in one step: to never exists half-written.
bool RenameReplacing(const std::string& from, const std::string& to);
// Lets a file be deleted that Windows would keep as read-only; nothing elsewhere.
bool ClearReadOnly(const std::string& path);
// The processors this process may run on: by its affinity, which taskset and a
// container's cpuset narrow, not the machine's count.
int CountProcessors();
// The last system error as text, for messages.
std::string GetSystemErrorText();
// A path inside a directory.
std::string JoinPath(const std::string& directory, const std::string& name);

// A file or directory beside target with a name of its own ("TARGET.sfxpack-PID-N"),
// created by create(candidate) which fails when the name is taken.
template <typename Create>
bool CreateBeside(const std::string& target, std::string& created, Create create) {
    const CString stem = CString(target.c_str()) + ".sfxpack-" + DecimalText(GetCurrentProcessId()) + "-";
    CString made;
    if (!CreateUniquelyNamed(
            stem, 1000, made, [&create](const CString& name) { return create(std::string(name)); },
            [] { return IsNameTaken(GetLastError()); })) {
        return false;
    }
    created = std::string(made);
    return true;
}
