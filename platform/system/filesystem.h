// platform/system/filesystem.h: calls on paths (files and directories) and the errors
// they fail with. On Windows they are the system's own; elsewhere the POSIX backend
// (platform/system/posix/filesystem.cpp) gives the same names host paths.
#pragma once

#include "platform/system/cstring.h"
#include "platform/wintypes.h"

#ifndef _WIN32
BOOL SetCurrentDirectoryA(const char* path);
BOOL DeleteFileA(const char* path);
// Makes a directory with the permissions the umask leaves; fails when the name exists.
// security must be nullptr.
BOOL CreateDirectoryA(const char* path, void* security);
// Removes only an empty directory.
BOOL RemoveDirectoryA(const char* path);
// flags must be MOVEFILE_REPLACE_EXISTING: to is replaced in one step.
BOOL MoveFileExA(const char* from, const char* to, DWORD flags);
// POSIX keeps no read-only attribute that stops a deletion: does nothing.
BOOL SetFileAttributesA(const char* path, DWORD attributes);
// The full path of a path relative to the current directory; the length, or the size
// needed when size is too small, or 0 on failure.
DWORD GetFullPathNameA(const char* path, DWORD size, char* buffer, char** filePart);
// The cause of the last failed call of this thread, as the Windows error that means it:
// ERROR_ALREADY_EXISTS for a name that is taken, ERROR_FILE_NOT_FOUND for one that is
// missing, ERROR_BAD_EXE_FORMAT and ERROR_ACCESS_DENIED for a program that cannot or may
// not run, the host's own number for anything else.
DWORD GetLastError();
#endif

// Makes a directory that only the current user, SYSTEM and the Administrators may
// enter, nothing taken over from its parent, set by the creating call itself: there is
// no moment in which it has its parent's permissions. Fails when the name exists.
BOOL CreatePrivateDirectory(const char* path);

// Whether this process runs with administrator rights in force (an elevated token), as
// CreatePrivateDirectory found its token: false before it ran. The portable backend
// answers what the test set (platform/system/portable/control.h).
bool RunsElevated();

// Seals the directory that CreatePrivateDirectory made last, with everything in it,
// before a program with administrator rights runs from it: from then on the user, and so
// every program the user runs without those rights, may read, run and delete what is
// there, but neither add, write, rename nor replace anything, nor give the rights back,
// which SYSTEM and the Administrators keep. False when the system refused. The portable
// backend takes the write permissions away, writes "sealed <path>" to standard error,
// and gives the directory its own back once the program has ended (WaitForProgram):
// POSIX lets nobody delete in a directory they may not write.
BOOL SealPrivateDirectory(const char* path);
#ifdef _WIN32
// The DACL SealPrivateDirectory set last, for tests: Wine keeps no DACL to read back.
const ACL* GetSealedDacl();
#endif

// The last failure was a name that exists already: Windows says ERROR_FILE_EXISTS when a
// file is created new, ERROR_ALREADY_EXISTS when a directory is.
inline bool IsNameTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }
// The last failure was a name, or a folder on its way, that does not exist.
inline bool IsNameMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The last failed call's cause as the system words it, for messages.
CString GetLastErrorText();
