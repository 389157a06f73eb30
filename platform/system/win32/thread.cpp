// platform/system/win32/thread.cpp: worker threads on CreateThread.
#include "platform/system/thread.h"

#include <stdlib.h>

namespace {

struct ThreadStart {
    ThreadProc proc;
    void* param;
};

// The system's thread entry has its own calling convention, so the thread starts here
// and calls the worker's function.
DWORD WINAPI RunThreadProc(void* start) {
    ThreadStart copy = *static_cast<ThreadStart*>(start);
    free(start);
    return copy.proc(copy.param);
}

} // namespace

bool AfxBeginThread(ThreadProc proc, void* param) {
    ThreadStart* start = static_cast<ThreadStart*>(malloc(sizeof(ThreadStart)));
    if (start == nullptr) {
        return false;
    }
    *start = {proc, param};
    HANDLE thread = CreateThread(nullptr, 0, RunThreadProc, start, 0, nullptr);
    if (thread == nullptr) {
        free(start);
        return false;
    }
    // Nothing joins the worker; it ends the process itself.
    CloseHandle(thread);
    return true;
}
