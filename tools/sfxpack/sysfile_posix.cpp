// tools/sfxpack/sysfile_posix.cpp: sfxpack's calls on paths, on POSIX.
#include "tools/sfxpack/sysfile.h"

#include <errno.h>
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

bool RenameReplacing(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

// POSIX deletes a file by its directory's permissions, not its own.
bool ClearReadOnly(const std::string&) { return true; }

bool MakeNewDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool IsTerminal(int fd) { return isatty(fd) != 0; }

uint32_t GetProcessNumber() { return static_cast<uint32_t>(getpid()); }

std::string GetSystemErrorText() { return strerror(errno); }

bool LastErrorIsExists() { return errno == EEXIST; }

bool LastErrorIsMissing() { return errno == ENOENT; }

Arguments GetUtf8Arguments(int argc, char** argv) { return Arguments(argv + 1, argv + argc); }

bool ToSystemPath(const std::string& path, std::string& systemPath) {
    systemPath = path;
    return true;
}

void* MapFileView(const CFileStream& file, int64_t offset, size_t length) {
    // Populated at once: one call maps every page, where touching them one by one would
    // fault on each.
    void* base = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                      static_cast<int>(file.GetOsHandle()), static_cast<off_t>(offset));
    return base == MAP_FAILED ? nullptr : base;
}

void UnmapFileView(void* base, size_t length) { munmap(base, length); }

namespace {

sigjmp_buf g_viewFault; // where a read beyond a shrunk view's file returns to

void OnViewFault(int) { siglongjmp(g_viewFault, 1); }

} // namespace

bool ReadViewsGuarded(bool (*work)(void*), void* context) {
    struct sigaction fault = {};
    struct sigaction previous = {};
    fault.sa_handler = OnViewFault;
    sigaction(SIGBUS, &fault, &previous);
    bool done = false;
    if (sigsetjmp(g_viewFault, 1) == 0) {
        done = work(context);
    }
    sigaction(SIGBUS, &previous, nullptr);
    return done;
}
