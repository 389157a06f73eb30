// platform/process.h: what the install run asks of the process: its current directory,
// removing files and directories, running the setup program, and ending.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32
// Windows declares these in its own headers; the portable backend supplies them under
// the same names, on host paths mapped as platform/portable/control.h describes.
BOOL SetCurrentDirectoryA(const char* path);
BOOL DeleteFileA(const char* path);
// Removes only an empty directory.
BOOL RemoveDirectoryA(const char* path);
// Ends every thread of the process at once; nothing of the program runs after it. The
// portable backend keeps the low eight bits of the status, as POSIX does.
[[noreturn]] void ExitProcess(UINT exitCode);
#endif

// Starts the program at path with an empty command line, in the current directory, and
// waits until it ends. False when it could not be started or its status is unknown. On
// Windows a program whose manifest asks for administrator rights is started through the
// shell instead, which asks the user and hands it its path as command line. POSIX has no
// empty argument list: since Linux 5.18 the program sees one empty argument.
bool RunProgramAndWait(const char* path, DWORD& exitCode);

#ifdef _WIN32
// The shell's way of starting a program (ShellExecuteExA), with a wait for its end.
// shell32 is loaded from the system directory for the call, so the program carries no
// import of it that a planted DLL beside it could answer.
bool ShellExecuteAndWait(const char* path, DWORD& exitCode);
#endif
