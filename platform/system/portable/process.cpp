// platform/system/portable/process.cpp: Windows' way of starting the setup program, played
// with POSIX processes, failing with the errors tests choose; the module path tests set;
// and whether the process runs elevated, as the test says.
#include "platform/system/process.h"

#include <errno.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/system/filesystem.h"
#include "platform/system/portable/control.h"

extern char** environ;

namespace {

DWORD g_startError = 0;
// Linux opens the running program through this link.
CString g_modulePath = "/proc/self/exe";
bool g_elevated = false;

} // namespace

void PortableSetElevated(bool elevated) { g_elevated = elevated; }

bool RunsElevated() { return g_elevated; }

void PortableSetStartError(DWORD error) { g_startError = error; }

void PortableSetModulePath(const char* path) { g_modulePath = path; }

CString GetModulePath() { return g_modulePath; }

bool IsRunningImage(CFileStream&) { return true; }

StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process) {
    posix_spawn_file_actions_t actions;
    if (g_startError != 0) {
        errno = static_cast<int>(g_startError);
        return StartResult::Failed;
    }
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return StartResult::Failed;
    }
    char* noArguments[] = {nullptr};
    pid_t child;
    int error = posix_spawn_file_actions_addchdir_np(&actions, directory);
    if (error == 0) {
        // posix_spawn returns its error rather than setting errno.
        error = posix_spawn(&child, path, &actions, nullptr, noArguments, environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        errno = error;
        return StartResult::Failed;
    }
    process = child;
    return StartResult::Started;
}

bool WaitForProgram(ProgramProcess process, DWORD& exitCode) {
    int status;
    while (waitpid(static_cast<pid_t>(process), &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    // A program killed by a signal reports it the way a POSIX shell does.
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}
