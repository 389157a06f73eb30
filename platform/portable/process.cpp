// platform/portable/process.cpp: the process services of the install run on POSIX, on
// Windows paths mapped onto the host.
#include "platform/process.h"

#include <errno.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/portable/control.h"

extern char** environ;

BOOL SetCurrentDirectoryA(const char* path) { return chdir(PortableHostPath(path)) == 0; }

BOOL DeleteFileA(const char* path) { return unlink(PortableHostPath(path)) == 0; }

BOOL CreateDirectoryA(const char* path, void* /*security*/) {
    return mkdir(PortableHostPath(path), 0700) == 0;
}

BOOL CreatePrivateDirectory(const char* path) { return CreateDirectoryA(path, nullptr); }

BOOL RemoveDirectoryA(const char* path) { return rmdir(PortableHostPath(path)) == 0; }

DWORD GetLastError() { return errno == EEXIST ? ERROR_ALREADY_EXISTS : static_cast<DWORD>(errno); }

BOOL SetEnvironmentVariableA(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void Sleep(DWORD milliseconds) { usleep(milliseconds * 1000); }

void ExitProcess(UINT exitCode) { _exit(static_cast<int>(exitCode)); }

StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return StartResult::Failed;
    }
    char* noArguments[] = {nullptr};
    pid_t child;
    bool started = posix_spawn_file_actions_addchdir_np(&actions, PortableHostPath(directory)) == 0 &&
                   posix_spawn(&child, PortableHostPath(path), &actions, nullptr, noArguments, environ) == 0;
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
