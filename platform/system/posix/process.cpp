// platform/system/posix/process.cpp: the process's id, environment, pauses and end on POSIX.
#include "platform/system/process.h"

#include <stdlib.h>
#include <unistd.h>

BOOL SetEnvironmentVariableA(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void Sleep(DWORD milliseconds) { usleep(milliseconds * 1000); }

void ExitProcess(UINT exitCode) { _exit(static_cast<int>(exitCode)); }

bool GetEnvironmentUtf8(const char* name, CString& value) {
    const char* text = getenv(name);
    if (text == nullptr || *text == '\0') {
        return false;
    }
    value = text;
    return true;
}
