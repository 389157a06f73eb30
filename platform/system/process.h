// platform/system/process.h: what the install run asks of the process: its own file,
// its environment, starting the setup program and waiting for it, and ending.
#pragma once

#include <stdint.h>

#include "platform/system/cstring.h"
#include "platform/system/file.h"
#include "platform/wintypes.h"

#ifndef _WIN32
// Windows declares these in its own headers; the POSIX backend gives them the same names.
// Sets a variable of the environment that started programs inherit.
BOOL SetEnvironmentVariableA(const char* name, const char* value);
DWORD GetCurrentProcessId();
void Sleep(DWORD milliseconds);
// Ends every thread of the process at once; nothing of the program runs after it. POSIX
// keeps the low eight bits of the status.
[[noreturn]] void ExitProcess(UINT exitCode);
#endif

// The running program's own file, as the loader found it, in UTF-8.
CString GetModulePath();

// Whether stream is open on the file this process runs from. The loader keeps the name
// the program started under, and a running program's file may be renamed: another file
// may have taken that name since. The portable backend, which runs no program of its
// own, says yes.
bool IsRunningImage(CFileStream& stream);

// The value of an environment variable, read in UTF-16 on Windows, as UTF-8; false when
// it is unset or empty.
bool GetEnvironmentUtf8(const char* name, CString& value);

enum class StartResult {
    Started,   // the program runs; WaitForProgram takes its status
    Unwatched, // the shell started it but handed out no process: its end cannot be known
    Failed,    // the program was not started
};

// A started program's process: a process HANDLE on Windows, a process id elsewhere.
using ProgramProcess = intptr_t;

// ERROR_ELEVATION_REQUIRED, which mingw-w64's winerror.h lacks: the program wants
// administrator rights, by its manifest or because Windows takes it for a setup program.
constexpr DWORD ErrorElevationRequired = 740;

// Starts the program at path with an empty command line and directory as its current
// directory, with this process's rights: a program that wants administrator rights fails
// with ErrorElevationRequired, and only ShellExecuteProgram starts it. POSIX has no
// empty argument list: since Linux 5.18 the program sees one empty argument. On failure
// GetLastError() tells why: on POSIX, ERROR_BAD_EXE_FORMAT for a file the system cannot
// run and ERROR_ACCESS_DENIED for one it may not; the portable backend fails with the
// error the test set.
StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process);

// The shell's way of starting a program (ShellExecuteExA), which asks the user's consent
// when the program wants administrator rights; the shell hands it its path as command
// line. The consent prompt is owned by owner, so that it comes up in front of it rather
// than flashing in the taskbar. shell32 is loaded from the system directory for the
// call, so the program carries no import of it that a planted DLL beside it could
// answer. The portable backend starts the program as StartProgram does, without the
// test's error, and writes "consent prompt owner=<owner's address>" to standard error.
StartResult ShellExecuteProgram(const char* path, const char* directory, HWND owner, ProgramProcess& process);

// Waits until a started program ends, takes its status and lets go of the process.
// False when the status cannot be known.
bool WaitForProgram(ProgramProcess process, DWORD& exitCode);

#ifdef _WIN32
// The running program's own file, as the loader found it, in a buffer the caller frees:
// empty when the path does not fit the longest Windows path; nullptr without memory.
wchar_t* GetModulePathW();
#endif
