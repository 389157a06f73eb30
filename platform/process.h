// platform/process.h: what the install run asks of the process: its current directory
// and environment, making and removing files and directories, starting the setup
// program and waiting for it, and ending.
#pragma once

#include <stdint.h>

#include "platform/wintypes.h"

#ifndef _WIN32
// Windows declares these in its own headers. Elsewhere the calls on files and
// directories come from the POSIX layer (platform/posix/directory.cpp), the others from
// the portable backend; all take host paths.
BOOL SetCurrentDirectoryA(const char* path);
BOOL DeleteFileA(const char* path);
// Makes a directory that only this user may enter; fails when the name exists, with
// GetLastError() then ERROR_ALREADY_EXISTS. security must be nullptr.
BOOL CreateDirectoryA(const char* path, void* security);
// Removes only an empty directory.
BOOL RemoveDirectoryA(const char* path);
// The cause of the last failed call of this thread: ERROR_ALREADY_EXISTS when a name
// was taken, some other nonzero value for anything else.
DWORD GetLastError();
// The full path of a path relative to the current directory; the length, or the size
// needed when size is too small, or 0 on failure.
DWORD GetFullPathNameA(const char* path, DWORD size, char* buffer, char** filePart);
// Sets a variable of the environment that started programs inherit.
BOOL SetEnvironmentVariableA(const char* name, const char* value);
DWORD GetCurrentProcessId();
void Sleep(DWORD milliseconds);
// Ends every thread of the process at once; nothing of the program runs after it. The
// portable backend keeps the low eight bits of the status, as POSIX does.
[[noreturn]] void ExitProcess(UINT exitCode);
#endif

// Makes a directory that only the current user, SYSTEM and the Administrators may
// enter, nothing taken over from its parent, set by the creating call itself: there is
// no moment in which it has its parent's permissions. Fails when the name exists, with
// GetLastError() then ERROR_ALREADY_EXISTS.
BOOL CreatePrivateDirectory(const char* path);

enum class StartResult {
    Started,   // the program runs; WaitForProgram takes its status
    Unwatched, // the shell started it but handed out no process: its end cannot be known
    Failed,    // the program was not started
};

// A started program's process: a process HANDLE on Windows, a process id elsewhere.
using ProgramProcess = intptr_t;

// Starts the program at path with an empty command line and directory as its current
// directory. On Windows a program whose manifest asks for administrator rights is
// started through the shell instead (ShellExecuteProgram). POSIX has no empty argument
// list: since Linux 5.18 the program sees one empty argument. On failure GetLastError()
// tells why: on POSIX, ERROR_BAD_EXE_FORMAT for a file the system cannot run and
// ERROR_ACCESS_DENIED for one it may not.
StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process);

// Waits until a started program ends, takes its status and lets go of the process.
// False when the status cannot be known.
bool WaitForProgram(ProgramProcess process, DWORD& exitCode);

#ifdef _WIN32
// The shell's way of starting a program (ShellExecuteExA), which asks the user's consent
// when the program wants administrator rights; the shell hands it its path as command
// line. shell32 is loaded from the system directory for the call, so the program
// carries no import of it that a planted DLL beside it could answer.
StartResult ShellExecuteProgram(const char* path, const char* directory, ProgramProcess& process);
#endif
