// engine/install.cpp: the install run on the worker thread: extraction, the setup
// program, the clean-up, and the end of the process with a status callers can act on.
#include "engine/install.h"

#include "engine/payload.h"
#include "platform/process.h"

namespace {

// Left at the root of the Windows drive by older setup programs. The percent signs are
// part of the names; nothing is expanded. Deepest first, so that each parent is empty by
// the time its turn comes.
const char* const StrayDirectoryTable[] = {
    "%SystemRoot%\\Profiles\\All Users\\Desktop",
    "%SystemRoot%\\Profiles\\All Users",
    "%SystemRoot%\\Profiles",
    "%SystemRoot%",
    "%USERPROFILE%\\Desktop",
    "%USERPROFILE%",
};

// "C:\" of "C:\WINDOWS".
constexpr int DriveRootLength = 3;

const char DamagedInstallerText[] = "This installer is damaged or incomplete, so nothing was installed.\n\n"
                                    "Please download the installer again and run the new copy.";

// A message that names a file or folder on a line of its own.
CString MessageNaming(const char* problem, const CString& path, const char* advice) {
    return CString(problem) + "\n\n" + path + "\n\n" + advice;
}

// How the run ends: the process's status and, when something went wrong, what the user
// is told.
struct InstallEnd {
    UINT exitCode;
    CString message;
};

// Runs the setup program only when this run delivered it, with every other entry.
InstallEnd RunSetupProgram(ExtractResult extracted, const CString& temp) {
    switch (extracted) {
    case ExtractResult::Complete:
        break;
    case ExtractResult::NoProgramFile:
    case ExtractResult::NoPayload:
    case ExtractResult::Truncated:
    case ExtractResult::BadDigest:
        return {ExitPackageInvalid, DamagedInstallerText};
    case ExtractResult::WriteFailed:
        // Without TEMP the files went to the root of the current drive.
        return {
            ExitTempUnwritable,
            MessageNaming("The setup files could not be written to the temporary folder:",
                          temp.IsEmpty() ? CString("\\") : temp,
                          "Make sure that its drive has free space and that you may write to it, then run "
                          "the installer again.")};
    }
    const CString setupPath = temp + PayloadEntryTable[0];
    DWORD exitCode = 0;
    if (!RunProgramAndWait(setupPath, exitCode)) {
        return {ExitSetupNotStarted, MessageNaming("The setup program could not be started:", setupPath,
                                                   "Security software may have blocked it, or the permission "
                                                   "to run it was refused. Nothing was installed.")};
    }
    return {exitCode, CString()};
}

} // namespace

UINT InstallThreadProc(void* param) {
    // The block belongs to the dialog: read it once, here.
    const InstallThreadParams params = *static_cast<const InstallThreadParams*>(param);
    CWnd progress = CWnd::FromHandle(params.hProgress);
    CWnd status = CWnd::FromHandle(params.hStatus);
    const ExtractResult extracted = ExtractPayload(progress, status);

    const CString temp = GetEnvironmentText("TEMP");
    // Without TEMP this fails, and the setup program starts where the installer did.
    SetCurrentDirectoryA(temp);
    const InstallEnd end = RunSetupProgram(extracted, temp);
    CleanUpTemp();
    if (!end.message.IsEmpty()) {
        // Owned by the main dialog, so that the box stays in front of it.
        progress.GetParent().MessageBox(end.message, InstallerCaption, MB_OK | MB_ICONERROR);
    }
    // Ended from here, the dialog's thread cannot run on against a finished install.
    ExitProcess(end.exitCode);
}

void CleanUpTemp() {
    const CString temp = GetEnvironmentText("TEMP");
    const CString driveRoot = GetEnvironmentText("windir").Left(DriveRootLength);
    // Every name, extracted or not: the setup program may have left one behind.
    for (const char* name : PayloadEntryTable) {
        DeleteFileA(temp + name);
    }
    for (const char* directory : StrayDirectoryTable) {
        RemoveDirectoryA(driveRoot + directory);
    }
}
