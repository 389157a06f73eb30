// platform/system/thread.h: worker threads. The installer has one, for the install run, so
// that the dialog keeps answering while files are copied and the setup program runs.
#pragma once

#include "platform/wintypes.h"

// The function a worker thread runs; its result becomes the thread's exit code.
using ThreadProc = UINT (*)(void* param);

// Starts proc(param) on a new thread at normal priority with the default stack size; it
// runs at once, and nothing waits for it. False when no thread could be made.
bool AfxBeginThread(ThreadProc proc, void* param);
