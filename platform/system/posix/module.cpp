// platform/system/posix/module.cpp: the running program's own file, as Linux names it.
// A file of its own: the portable backend, linked before this one, stands in for it in
// the engine's tests, which set the path they want (platform/system/portable/control.h).
#include "platform/system/process.h"

#include <limits.h>
#include <unistd.h>

CString GetModulePath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 ? CString(buffer, static_cast<int>(length)) : CString();
}
