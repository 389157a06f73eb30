// platform/system/portable/process.cpp: Windows' way of starting the setup program, played
// with POSIX processes, failing with the errors tests choose: directly, or through the
// shell from a folder sealed first; the module path tests set; and whether the process
// runs elevated, as the test says.
#include "platform/system/process.h"

#include <dirent.h>
#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
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
bool g_sealRefused = false;
// The folder SealPrivateDirectory sealed, until a program has ended.
CString g_sealed;

// Takes the write permissions away, keeping the others.
bool TakeWriteAway(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && chmod(path, info.st_mode & 07555) == 0;
}

StartResult Spawn(const char* path, const char* directory, ProgramProcess& process) {
    posix_spawn_file_actions_t actions;
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

} // namespace

void PortableSetElevated(bool elevated) { g_elevated = elevated; }

void PortableSetSealRefused(bool refused) { g_sealRefused = refused; }

bool RunsElevated() { return g_elevated; }

BOOL SealPrivateDirectory(const char* path) {
    DIR* folder = g_sealRefused ? nullptr : opendir(path);
    if (folder == nullptr) {
        errno = EACCES;
        return FALSE;
    }
    bool sealed = true;
    while (const dirent* entry = readdir(folder)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            sealed = TakeWriteAway(CString(path) + "/" + entry->d_name) && sealed;
        }
    }
    closedir(folder);
    g_sealed = path;
    fprintf(stderr, "sealed %s\n", path);
    return TakeWriteAway(path) && sealed;
}

void PortableSetStartError(DWORD error) { g_startError = error; }

void PortableSetModulePath(const char* path) { g_modulePath = path; }

CString GetModulePath() { return g_modulePath; }

bool IsRunningImage(CFileStream&) { return true; }

StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process) {
    if (g_startError != 0) {
        errno = static_cast<int>(g_startError);
        return StartResult::Failed;
    }
    return Spawn(path, directory, process);
}

StartResult ShellExecuteProgram(const char* path, const char* directory, HWND owner,
                                ProgramProcess& process) {
    // No shell, no consent prompt: a line on standard error stands for it, as the portable
    // windows write their message boxes there.
    fprintf(stderr, "consent prompt owner=%p\n", static_cast<void*>(owner));
    return Spawn(path, directory, process);
}

bool WaitForProgram(ProgramProcess process, DWORD& exitCode) {
    int status;
    while (waitpid(static_cast<pid_t>(process), &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    // Windows' seal leaves the user DELETE on every entry; POSIX ties deleting to the
    // folder's write permission, which the clean-up gets back here.
    if (!g_sealed.IsEmpty()) {
        chmod(g_sealed, 0700);
        g_sealed = CString();
    }
    // A program killed by a signal reports it the way a POSIX shell does.
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}
