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

// Exit statuses of the installer process, chosen from the Windows Installer codes so that
// deployment tools read them right. After a completed extraction the process ends with the
// setup program's own status instead.
constexpr int ExitCancelled = 1602;       // the user pressed Cancel
constexpr int ExitSetupNotStarted = 1619; // the setup program was extracted but would not start
constexpr int ExitPackageInvalid = 1620;  // the installer file is unreadable, empty or cut short
constexpr int ExitTempUnwritable = 1632;  // an entry could not be written to the TEMP folder

// The caption of the installer's message boxes.
constexpr char InstallerCaption[] = "Kelvane Pro Self-Extractor";

// Runs the whole install and ends the process; never returns. param points to an
// InstallThreadParams, read once at the start.
UINT InstallThreadProc(void* param);

// Deletes the entry files from TEMP and the empty stray directories from the drive root.
void CleanUpTemp();
