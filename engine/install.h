// engine/install.h: the install run, the body of the worker thread that the Install
// command starts: a folder of the run's own, extraction, the setup program, clean-up,
// and the end of the process.
#pragma once

#include "engine/program_file.h"
#include "platform/system/cstring.h"
#include "platform/window/wnd.h"
#include "platform/wintypes.h"

// The two controls the main dialog lends the worker, and the program file, held open
// since the title was read. The block lives in the dialog object, which outlives the
// worker because the worker ends the process.
struct InstallThreadParams {
    HWND hProgress;       // the progress bar
    HWND hStatus;         // the status text shown while the setup program runs
    ProgramFile* program; // borrowed; its stream closed when it could not be opened
};

// Exit statuses of the installer process, chosen from the Windows codes whose meaning
// fits, so that deployment tools read them right. After a completed extraction the
// process ends with the setup program's own status instead.
// ERROR_SHARING_VIOLATION: another program held the installer's file, shutting out
// readers, for longer than the installer waits.
constexpr int ExitInstallerInUse = 32;
// ERROR_WAIT_NO_CHILDREN: the setup program was started, but no process came back to
// wait for; its files are left in place.
constexpr int ExitOutcomeUnknown = 128;
// ERROR_FILE_INVALID ("the opened file is no longer valid", as after a volume was
// changed from outside): the file under the installer's name is not the one it runs
// from; someone renamed it and put another in its place.
constexpr int ExitInstallerReplaced = 1006;
// ERROR_NO_UNICODE_TRANSLATION: the installer's file or TEMP has a name that the system
// code page cannot write, and no short name.
constexpr int ExitNameNotInCodePage = 1113;
constexpr int ExitCancelled = 1602; // the user pressed Cancel
// ERROR_INSTALL_FAILURE: the installer's window or its worker thread could not be made.
constexpr int ExitInstallerFailed = 1603;
// The setup program was extracted but would not start, or was changed by someone else.
constexpr int ExitSetupNotStarted = 1619;
// ERROR_INSTALL_PLATFORM_UNSUPPORTED: the setup program is no program this Windows can
// start: no program at all, or one made for another machine.
constexpr int ExitPlatformUnsupported = 1633;
// The installer file is unreadable, empty, cut short, or not as signed.
constexpr int ExitPackageInvalid = 1620;
// ERROR_INSTALL_PACKAGE_REJECTED: signed by a publisher this system explicitly distrusts.
constexpr int ExitPublisherDistrusted = 1625;
// TEMP is unset, unusable or too long, or an entry could not be written to the run's folder.
constexpr int ExitTempUnwritable = 1632;

// The installer's message box for what went wrong, under the installer's caption (both
// texts from the string table, engine/messages.h), owned by owner so that it stays in
// front of it.
void ShowErrorBox(CWnd& owner, UINT messageId);
void ShowErrorBox(CWnd& owner, const CString& message);

// Runs the whole install, tells the user what went wrong (engine/messages.h) and ends
// the process with the run's status; never returns. param points to an
// InstallThreadParams, read once at the start.
UINT InstallThreadProc(void* param);

// Deletes the entry files from the run's folder and the folder when it is empty, and,
// unless the process runs elevated, the empty stray directories from the drive root.
// Leaves the folder for temp, where stray directories are looked for when "windir" is
// unset.
void CleanUpTemp(const CString& temp, const CString& runFolder);
