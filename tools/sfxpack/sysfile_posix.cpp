// tools/sfxpack/sysfile_posix.cpp: sfxpack's calls on paths, on POSIX.
#include "tools/sfxpack/sysfile.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

bool RenameReplacing(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool MakeNewDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveEmptyDirectory(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool IsTerminal(int fd) { return isatty(fd) != 0; }

unsigned long GetProcessNumber() { return static_cast<unsigned long>(getpid()); }

std::string GetSystemErrorText() { return strerror(errno); }

bool LastErrorIsExists() { return errno == EEXIST; }

Arguments GetUtf8Arguments(int argc, char** argv) { return Arguments(argv + 1, argv + argc); }

bool ToSystemPath(const std::string& path, std::string& systemPath) {
    systemPath = path;
    return true;
}
