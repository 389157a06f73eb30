// platform/system/posix/thread.cpp: worker threads on POSIX threads.
#include "platform/system/thread.h"

#include <pthread.h>
#include <stdlib.h>

namespace {

struct ThreadStart {
    ThreadProc proc;
    void* param;
};

// POSIX threads start with another signature, so the thread starts here and calls the
// worker's function.
void* RunThreadProc(void* start) {
    ThreadStart copy = *static_cast<ThreadStart*>(start);
    free(start);
    copy.proc(copy.param);
    return nullptr;
}

} // namespace

bool AfxBeginThread(ThreadProc proc, void* param) {
    ThreadStart* start = static_cast<ThreadStart*>(malloc(sizeof(ThreadStart)));
    if (start == nullptr) {
        return false;
    }
    *start = {proc, param};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, RunThreadProc, start) != 0) {
        free(start);
        return false;
    }
    // Nothing joins the worker; it ends the process itself.
    pthread_detach(thread);
    return true;
}
