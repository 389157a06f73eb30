// platform/win32/process.cpp: running the setup program on Win32 and waiting for its
// status, directly or, when it wants administrator rights, through the shell.
#include "platform/process.h"

// shellapi.h only for SHELLEXECUTEINFOA: the function itself is looked up at run time.
#include <shellapi.h>

namespace {

// ERROR_ELEVATION_REQUIRED, which mingw-w64's winerror.h lacks.
constexpr DWORD ErrorElevationRequired = 740;

using ShellExecuteExAFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOA* info);

// Waits for a started program, takes its status and closes its handle.
bool WaitForExitCode(HANDLE process, DWORD& exitCode) {
    bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0;
    bool known = ended && GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return known;
}

} // namespace

bool RunProgramAndWait(const char* path, DWORD& exitCode) {
    // With the path as application name and an empty text as command line, the program's
    // GetCommandLineA is really empty; a null command line would repeat the path there.
    char commandLine[1] = "";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return GetLastError() == ErrorElevationRequired && ShellExecuteAndWait(path, exitCode);
    }
    CloseHandle(process.hThread);
    return WaitForExitCode(process.hProcess, exitCode);
}

bool ShellExecuteAndWait(const char* path, DWORD& exitCode) {
    HMODULE shell32 = LoadLibraryExA("shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (shell32 == nullptr) {
        return false;
    }
    auto shellExecuteEx = reinterpret_cast<ShellExecuteExAFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "ShellExecuteExA")));
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // NOASYNC: the shell finishes its work before returning, not on a thread of its own.
    // FLAG_NO_UI: a failure is the caller's to report; the consent prompt still shows.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    bool started = shellExecuteEx != nullptr && shellExecuteEx(&info);
    FreeLibrary(shell32);
    // The shell hands out no process when something else ran the file; then no status
    // can be known.
    return started && info.hProcess != nullptr && WaitForExitCode(info.hProcess, exitCode);
}
