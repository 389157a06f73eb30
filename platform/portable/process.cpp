// platform/portable/process.cpp: the process services of the install run on POSIX.
#include "platform/process.h"

#include <errno.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

BOOL SetCurrentDirectoryA(const char* path) { return chdir(path) == 0; }

BOOL DeleteFileA(const char* path) { return unlink(path) == 0; }

BOOL CreateDirectoryA(const char* path, void* /*security*/) { return mkdir(path, 0700) == 0; }

BOOL RemoveDirectoryA(const char* path) { return rmdir(path) == 0; }

DWORD GetLastError() { return errno == EEXIST ? ERROR_ALREADY_EXISTS : static_cast<DWORD>(errno); }

BOOL SetEnvironmentVariableA(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void ExitProcess(UINT exitCode) { _exit(static_cast<int>(exitCode)); }

StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return StartResult::Failed;
    }
    char* noArguments[] = {nullptr};
    pid_t child;
    bool started = posix_spawn_file_actions_addchdir_np(&actions, directory) == 0 &&
                   posix_spawn(&child, path, &actions, nullptr, noArguments, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) {
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
