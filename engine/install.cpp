// engine/install.cpp: the install run on the worker thread: a folder of the run's own in
// TEMP, extraction, the setup program, the clean-up, and the end of the process with a
// status callers can act on.
#include "engine/install.h"

#include "engine/payload.h"
#include "platform/process.h"
#include "platform/system.h"

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

// The run's folder in TEMP is named after the process and a number: a process id is
// unique while the process runs, so only a folder left by an earlier process with the
// same id, or made by someone else, takes a name.
const char* const RunFolderPrefix = "\\KelvaneSetup-";
constexpr uint32_t RunFolderAttempts = 100;

// --- What the user is told ------------------------------------------------------------
// Pointers to literals rather than arrays: the compiler aligns every array of 32 bytes
// or more to 32, padding the stub for nothing.

const char* const DamagedInstallerText =
    "This installer is damaged or incomplete, so nothing was installed.\n\n"
    "Please download the installer again and run the new copy.";
const char* const UnnamedInstallerText =
    "The name of this installer or of its folder has letters that Windows cannot "
    "pass on to the installer, so nothing was installed.\n\n"
    "Copy the installer to a folder with a plain name, such as C:\\Downloads, "
    "and run it there.";
const char* const UnnamedTempText = "The name of the TEMP folder has letters that Windows cannot pass on "
                                    "to the installer, so nothing was installed.\n\n"
                                    "Set TEMP to a folder with a plain name, such as C:\\Temp, then run the "
                                    "installer again.";
const char* const TempUnsetText = "No temporary folder is set for the setup files:";
const char* const TempUnsetAdvice = "Set TEMP to a folder you may write to, then run the installer again.";
const char* const TempUnusableText =
    "The installer could not make a folder for the setup files in the temporary "
    "folder:";
const char* const EntriesUnwritableText = "The setup files could not be written to the temporary folder:";
const char* const TempAdvice = "Check that the folder exists, that its drive has free space and that you may "
                               "write to it, then run the installer again.";
const char* const SetupChangedText =
    "Another program opened or changed the setup program while it was unpacked, so it "
    "was not started:";
const char* const SetupChangedAdvice = "Nothing was installed. Please run the installer again.";
const char* const SetupNotStartedText = "The setup program could not be started:";
const char* const SetupNotStartedAdvice =
    "Security software may have blocked it, or the permission to run it was "
    "refused. Nothing was installed.";

} // namespace

const char WindowFailedText[] = "The installer window could not be opened, so nothing was installed.\n\n"
                                "Close some programs, then run the installer again.";
const char WorkerFailedText[] = "The installation could not start, so nothing was installed.\n\n"
                                "Close some programs, then run the installer again.";

namespace {

// A message that names a file or folder on a line of its own.
CString MessageNaming(const char* problem, const CString& path, const char* advice) {
    return CString(problem) + "\n\n" + path + "\n\n" + advice;
}

// How the run ends: the process's status, what the user is told when something went
// wrong, and whether a setup program may still be using the unpacked files.
struct InstallEnd {
    UINT exitCode;
    CString message;
    bool filesInUse;
};

InstallEnd Failure(UINT exitCode, const CString& message) { return {exitCode, message, false}; }

// TEMP under a name the 8-bit file functions take.
bool FindTemp(CString& temp, InstallEnd& end) {
    CString value;
    if (!GetEnvironmentUtf8("TEMP", value)) {
        end = Failure(ExitTempUnwritable, MessageNaming(TempUnsetText, "%TEMP%", TempUnsetAdvice));
        return false;
    }
    if (!GetAnsiPath(value, temp)) {
        end = Failure(ExitNameNotInCodePage, UnnamedTempText);
        return false;
    }
    return true;
}

// Makes a new folder directly inside temp; a name that exists is skipped, never reused,
// so that no other run's files, and nothing planted, can be in it.
bool MakeRunFolder(const CString& temp, CString& folder) {
    const CString stem = temp + RunFolderPrefix + DecimalText(GetCurrentProcessId()) + "-";
    for (uint32_t attempt = 0; attempt < RunFolderAttempts; ++attempt) {
        folder = stem + DecimalText(attempt);
        if (CreateDirectoryA(folder, nullptr)) {
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

// Starts the setup program from the run's folder and waits for it. It finds the other
// entries beside itself, in its working directory and in TEMP and TMP, which point
// there for it; and only its own folder, not TEMP, is in its DLL search path.
//
// The hold makes sure that what starts is byte for byte the payload's setup program, or
// that nothing starts: from its writing until its process exists nobody can change,
// replace, rename or delete the file, and the extraction compared the held bytes with
// the payload, which covers the instant before the hold (CFileStream::CloseAndHold). It
// cannot keep the path from leading elsewhere where a folder with an open file in it may
// be renamed, as Wine allows and Windows refuses: there another folder could take the
// run's folder's place. Nor does it stop a program of the same user that can change
// this process itself.
InstallEnd StartSetupProgram(const CString& folder, CFileStream& setupHold) {
    const CString setupPath = folder + PayloadEntryTable[0];
    if (!setupHold.IsOpen()) {
        return Failure(ExitSetupNotStarted, MessageNaming(SetupChangedText, setupPath, SetupChangedAdvice));
    }
    SetCurrentDirectoryA(folder);
    SetEnvironmentVariableA("TEMP", folder);
    SetEnvironmentVariableA("TMP", folder);
    ProgramProcess process = 0;
    const StartResult started = StartProgram(setupPath, folder, process);
    // Held until its process exists, so that what runs is what was unpacked.
    setupHold.Close();
    DWORD exitCode = 0;
    if (started == StartResult::Failed) {
        return Failure(ExitSetupNotStarted,
                       MessageNaming(SetupNotStartedText, setupPath, SetupNotStartedAdvice));
    }
    if (started == StartResult::Unwatched || !WaitForProgram(process, exitCode)) {
        return {ExitOutcomeUnknown, CString(), true};
    }
    return {exitCode, CString(), false};
}

// Runs the setup program only when this run delivered it, with every other entry.
InstallEnd RunSetupProgram(ExtractResult extracted, const CString& folder, CFileStream& setupHold) {
    switch (extracted) {
    case ExtractResult::Complete:
        break;
    case ExtractResult::NoProgramFile:
    case ExtractResult::NoPayload:
    case ExtractResult::Truncated:
    case ExtractResult::BadDigest:
        return Failure(ExitPackageInvalid, DamagedInstallerText);
    case ExtractResult::UnnamedProgramFile:
        return Failure(ExitNameNotInCodePage, UnnamedInstallerText);
    case ExtractResult::WriteFailed:
        return Failure(ExitTempUnwritable, MessageNaming(EntriesUnwritableText, folder, TempAdvice));
    }
    return StartSetupProgram(folder, setupHold);
}

InstallEnd RunInstall(CWnd& progress, CWnd& status) {
    CString temp;
    InstallEnd end;
    if (!FindTemp(temp, end)) {
        return end;
    }
    CString folder;
    if (!MakeRunFolder(temp, folder)) {
        return Failure(ExitTempUnwritable, MessageNaming(TempUnusableText, temp, TempAdvice));
    }
    CFileStream setupHold;
    const ExtractResult extracted = ExtractPayload(progress, status, folder, setupHold);
    end = RunSetupProgram(extracted, folder, setupHold);
    // A run that started nothing still holds the setup program, which no one, not even
    // the clean-up, could delete.
    setupHold.Close();
    // Nothing is deleted under a setup program that may still be running.
    if (!end.filesInUse) {
        CleanUpTemp(temp, folder);
    }
    return end;
}

} // namespace

UINT InstallThreadProc(void* param) {
    // The block belongs to the dialog: read it once, here.
    const InstallThreadParams params = *static_cast<const InstallThreadParams*>(param);
    CWnd progress = CWnd::FromHandle(params.hProgress);
    CWnd status = CWnd::FromHandle(params.hStatus);
    const InstallEnd end = RunInstall(progress, status);
    if (!end.message.IsEmpty()) {
        // Owned by the main dialog, so that the box stays in front of it.
        progress.GetParent().MessageBox(end.message, InstallerCaption, MB_OK | MB_ICONERROR);
    }
    // Ended from here, the dialog's thread cannot run on against a finished install.
    ExitProcess(end.exitCode);
}

void CleanUpTemp(const CString& temp, const CString& runFolder) {
    // Windows removes no folder that is a current directory.
    SetCurrentDirectoryA(temp);
    // Every name, extracted or not: the setup program may have left one behind. What
    // else it left stays, and with it the folder, as it would have stayed in TEMP.
    for (const char* name : PayloadEntryTable) {
        DeleteFileA(runFolder + name);
    }
    RemoveDirectoryA(runFolder);
    const CString driveRoot = GetEnvironmentText("windir").Left(DriveRootLength);
    for (const char* directory : StrayDirectoryTable) {
        RemoveDirectoryA(driveRoot + directory);
    }
}
