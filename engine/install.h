// engine/install.h: the install run, the body of the worker thread that the Install
// command starts: extraction, the setup program, clean-up, and the end of the process.
#pragma once

#include "platform/wintypes.h"

// The two controls the main dialog lends the worker. The block lives in the dialog
// object, which outlives the worker because the worker ends the process.
struct InstallThreadParams {
    HWND hProgress; // the progress bar
    HWND hStatus;   // the status text shown while the setup program runs
};

// Exit statuses of the installer process. After a completed extraction the process ends
// with the setup program's own status.
constexpr int ExitCancelled = 1602; // the user pressed Cancel (as Windows Installer)

// Runs the whole install and ends the process; never returns. param points to an
// InstallThreadParams, read once at the start.
UINT InstallThreadProc(void* param);

// Deletes the entry files from TEMP and the empty stray directories from the drive root.
void CleanUpTemp();
