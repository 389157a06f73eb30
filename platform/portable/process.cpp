// platform/portable/process.cpp: the process services of the install run on POSIX, on
// Windows paths mapped onto the host.
#include "platform/process.h"

#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/portable/control.h"

extern char** environ;

BOOL SetCurrentDirectoryA(const char* path) { return chdir(PortableHostPath(path)) == 0; }

BOOL DeleteFileA(const char* path) { return unlink(PortableHostPath(path)) == 0; }

BOOL RemoveDirectoryA(const char* path) { return rmdir(PortableHostPath(path)) == 0; }

void ExitProcess(UINT exitCode) { _exit(static_cast<int>(exitCode)); }

bool RunProgramAndWait(const char* path, DWORD& exitCode) {
    char* noArguments[] = {nullptr};
    pid_t child;
    if (posix_spawn(&child, PortableHostPath(path), nullptr, nullptr, noArguments, environ) != 0) {
        return false;
    }
    int status;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    // A program killed by a signal reports it the way a POSIX shell does.
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}
