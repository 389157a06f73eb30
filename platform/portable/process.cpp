// platform/portable/process.cpp: the process services of the install run on POSIX.
#include "platform/process.h"

#include <errno.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/portable/control.h"

extern char** environ;

namespace {

DWORD g_startError = 0;

} // namespace

void PortableSetStartError(DWORD error) { g_startError = error; }

BOOL SetEnvironmentVariableA(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void ExitProcess(UINT exitCode) { _exit(static_cast<int>(exitCode)); }

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
