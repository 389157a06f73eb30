// engine/install.cpp: the install run on the worker thread: a folder of the run's own in
// TEMP, extraction, the setup program, the clean-up, and the end of the process with a
// status callers can act on.
#include "engine/install.h"

#include "engine/extract.h"
#include "engine/messages.h"
#include "engine/payload.h"
#include "platform/system/filesystem.h"
#include "platform/system/process.h"
#include "platform/system/text.h"
#include "platform/system/trust.h"
#include "platform/system/unique_name.h"

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

// The run's folder in TEMP is named after the process and a number
// (CreateUniquelyNamed).
const char RunFolderPrefix[] = SFX_PATH_SEPARATOR "KelvaneSetup-";
constexpr uint32_t RunFolderAttempts = 100;
// The 8-bit functions take no directory path of MAX_PATH - 12 characters or more, the
// terminating zero included. The run's folder adds its name to TEMP, at most the prefix,
// ten digits of a process id, a dash and two digits of an attempt; an entry's name adds
// fewer than those twelve.
constexpr int LongestTemp = MAX_PATH - 12 - 1 - (sizeof RunFolderPrefix - 1 + 10 + 1 + 2);

// Why the setup program did not start, by the system's error, as the user can act on it.
// A file that is no program this Windows runs is the installer's fault; only a refusal
// (access denied, a policy, a virus scanner, consent refused) may be the security
// software's or the user's; anything else is told as a failure to try again.
constexpr uint16_t ErrorVirusInfected = 225; // mingw-w64's winerror.h lacks both
constexpr uint16_t ErrorVirusDeleted = 226;
const uint16_t StartErrorTable[] = {ERROR_BAD_FORMAT, ERROR_CHILD_NOT_COMPLETE, ERROR_INVALID_EXE_SIGNATURE,
                                    ERROR_EXE_MARKED_INVALID, ERROR_BAD_EXE_FORMAT,
                                    ERROR_EXE_MACHINE_TYPE_MISMATCH,
                                    // The refusals.
                                    ERROR_ACCESS_DENIED, ErrorVirusInfected, ErrorVirusDeleted,
                                    ERROR_CANCELLED, ERROR_ACCESS_DISABLED_BY_POLICY};
constexpr int FirstRefusal = 6;
constexpr int StartErrorCount = sizeof StartErrorTable / sizeof StartErrorTable[0];

// How the run ends: the process's status, what the user is told when something went
// wrong (string table identifiers, engine/messages.h; 0 for nothing), and whether a
// setup program may still be using the unpacked files. A message that names a file or
// folder gives it between the problem and the advice.
struct InstallEnd {
    UINT exitCode;
    UINT problem;
    CString path;
    UINT advice;
    bool filesInUse;
};

InstallEnd Failure(UINT exitCode, UINT problem, const CString& path = CString(), UINT advice = 0) {
    return {exitCode, problem, path, advice, false};
}

// The message of a run that went wrong, from the string table.
CString LoadMessage(const InstallEnd& end) {
    CString message;
    message.LoadString(end.problem);
    if (end.advice != 0) {
        CString advice;
        advice.LoadString(end.advice);
        message += "\n\n" + end.path + "\n\n" + advice;
    }
    return message;
}

// TEMP as a full path under a name the 8-bit file functions take. A relative TEMP means
// a folder below the one the installer started in, and is resolved before the run
// changes its current directory.
bool FindTemp(CString& temp, InstallEnd& end) {
    CString value;
    if (!GetEnvironmentUtf8("TEMP", value)) {
        end = Failure(ExitTempUnwritable, IDS_TEMP_UNSET, "%TEMP%", IDS_TEMP_UNSET_ADVICE);
        return false;
    }
    if (!GetAnsiPath(value, temp)) {
        end = Failure(ExitNameNotInCodePage, IDS_TEMP_UNNAMED);
        return false;
    }
    // Static: on the stack it would push the inlined callers' locals beyond short offsets.
    static char full[MAX_PATH];
    // 0, a failure, wraps around to the largest value. A full path that does not fit is
    // too long for the run, even where TEMP itself is short: left relative, it would be
    // resolved again from inside the run's folder.
    if (GetFullPathNameA(temp, MAX_PATH, full, nullptr) - 1 >= MAX_PATH - 1) {
        end = Failure(ExitTempUnwritable, IDS_TEMP_TOO_LONG, temp, IDS_TEMP_UNSET_ADVICE);
        return false;
    }
    temp = full;
    return true;
}

// Makes a new folder directly inside temp, for this user alone, so that no other run's
// files, and nothing planted, can be in it, and nobody else can add any while the setup
// program is unpacked and started.
bool MakeRunFolder(const CString& temp, CString& folder) {
    return CreateUniquelyNamed(
        temp + RunFolderPrefix + DecimalText(GetCurrentProcessId()) + "-", RunFolderAttempts, folder,
        [](const char* name) { return CreatePrivateDirectory(name) != FALSE; },
        [] { return IsNameTaken(GetLastError()); });
}

InstallEnd StartFailure(DWORD error, const CString& setupPath) {
    int k = 0;
    while (k < StartErrorCount && StartErrorTable[k] != error) {
        ++k;
    }
    return Failure(k < FirstRefusal ? ExitPlatformUnsupported : ExitSetupNotStarted, IDS_SETUP_NOT_STARTED,
                   setupPath,
                   k < FirstRefusal      ? IDS_SETUP_UNSUPPORTED_ADVICE
                   : k < StartErrorCount ? IDS_SETUP_NOT_STARTED_ADVICE
                                         : IDS_SETUP_CHANGED_ADVICE);
}

// Starts the setup program from the run's folder and waits for it. It finds the other
// entries beside itself, in its working directory and in TEMP and TMP, which point
// there for it; and only its own folder, not TEMP, is in its DLL search path. Started
// elevated, it finds them beside itself only: Windows hands it its user's own TEMP and
// TMP, and may start it in the system directory.
//
// A setup program that wants administrator rights (CreateProcess refuses it with 740;
// Windows' installer detection takes a 32-bit program named Setup.exe without a manifest
// for one) starts through the shell, after the consent prompt, which owner keeps in
// front. Its folder is sealed first (SealPrivateDirectory): while the prompt waits and
// while it runs, the user's other programs, which run without those rights, can add,
// change or replace nothing in the folder, no DLL beside it either; the clean-up can
// still delete. An installer that itself runs elevated seals the folder before its direct
// start, for the same reason. When the seal fails, nothing starts, and the run ends as
// for a start that failed. The seal cannot undo what was done to the folder before it:
// a file added while the entries were unpacked stays, and so does a handle opened then
// with the rights it had.
//
// The hold makes sure that what starts is byte for byte the payload's setup program, or
// that nothing starts: from its writing until its process exists nobody can change,
// replace, rename or delete the file, and the extraction compared the held bytes with
// the payload, which covers the instant before the hold (CFileStream::CloseAndHold). It
// cannot keep the path from leading elsewhere where a folder with an open file in it may
// be renamed, as Wine allows and Windows refuses: there another folder could take the
// run's folder's place. Nor does it stop a program of the same user that can change
// this process itself.
InstallEnd StartSetupProgram(const CString& folder, CFileStream& setupHold, HWND owner) {
    const CString setupPath = folder + PayloadEntryTable[0];
    if (!setupHold.IsOpen()) {
        return Failure(ExitSetupNotStarted, IDS_SETUP_CHANGED, setupPath, IDS_SETUP_CHANGED_ADVICE);
    }
    SetCurrentDirectoryA(folder);
    SetEnvironmentVariableA("TEMP", folder);
    SetEnvironmentVariableA("TMP", folder);
    ProgramProcess process = 0;
    const bool elevated = RunsElevated();
    const bool sealed = elevated && SealPrivateDirectory(folder);
    StartResult started =
        elevated && !sealed ? StartResult::Failed : StartProgram(setupPath, folder, process);
    DWORD startError = GetLastError();
    if (started == StartResult::Failed && startError == ErrorElevationRequired &&
        (sealed || SealPrivateDirectory(folder))) {
        started = ShellExecuteProgram(setupPath, folder, owner, process);
        startError = GetLastError();
    }
    // Held until its process exists, so that what runs is what was unpacked.
    setupHold.Close();
    DWORD exitCode = 0;
    if (started == StartResult::Failed) {
        return StartFailure(startError, setupPath);
    }
    if (started == StartResult::Unwatched || !WaitForProgram(process, exitCode)) {
        return {ExitOutcomeUnknown, 0, CString(), 0, true};
    }
    return {exitCode, 0, CString(), 0, false};
}

// Runs the setup program only when this run delivered it, with every other entry.
InstallEnd RunSetupProgram(ExtractResult extracted, const CString& folder, CFileStream& setupHold,
                           HWND owner) {
    switch (extracted) {
    case ExtractResult::Complete:
        break;
    case ExtractResult::NoPayload:
    case ExtractResult::Truncated:
    case ExtractResult::BadDigest:
        return Failure(ExitPackageInvalid, IDS_DAMAGED);
    case ExtractResult::WriteFailed:
        return Failure(ExitTempUnwritable, IDS_ENTRIES_UNWRITABLE, folder, IDS_TEMP_ADVICE);
    }
    return StartSetupProgram(folder, setupHold, owner);
}

InstallEnd RunInstall(ProgramFile& program, CProgressCtrl& progress, CWnd& status, HWND owner) {
    // An installer whose own file could not be opened, for any cause but another
    // program's hold (a path too long, an execute-only folder), has nothing to install.
    if (!program.stream.IsOpen()) {
        return Failure(ExitPackageInvalid, IDS_INSTALLER_UNREADABLE);
    }
    // Judged before anything is written: a file that claims a signature runs only as
    // signed.
    const SignatureCheck check = CheckSignature(program);
    if (check == SignatureCheck::Damaged) {
        return Failure(ExitPackageInvalid, IDS_DAMAGED);
    }
    if (check == SignatureCheck::Distrusted) {
        return Failure(ExitPublisherDistrusted, IDS_DISTRUSTED);
    }
    CString temp;
    InstallEnd end;
    if (!FindTemp(temp, end)) {
        return end;
    }
    CString folder;
    // A TEMP too long for the run's paths is told as such, and nothing is made in it.
    const bool tooLong = temp.GetLength() > LongestTemp;
    if (tooLong || !MakeRunFolder(temp, folder)) {
        return Failure(ExitTempUnwritable, tooLong ? IDS_TEMP_TOO_LONG : IDS_TEMP_UNUSABLE, temp,
                       tooLong ? IDS_TEMP_UNSET_ADVICE : IDS_TEMP_ADVICE);
    }
    CFileStream setupHold;
    const ExtractResult extracted = ExtractPayload(program, progress, status, folder, setupHold);
    end = RunSetupProgram(extracted, folder, setupHold, owner);
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
    CProgressCtrl progress;
    progress.m_hWnd = params.hProgress;
    CWnd status = CWnd::FromHandle(params.hStatus);
    // The bar's parent, the main window, owns the consent prompt and the message boxes.
    CWnd dialog = progress.GetParent();
    const InstallEnd end = RunInstall(*params.program, progress, status, dialog.m_hWnd);
    if (end.problem != 0) {
        ShowErrorBox(dialog, LoadMessage(end));
    }
    // Ended from here, the dialog's thread cannot run on against a finished install.
    ExitProcess(end.exitCode);
}

void ShowErrorBox(CWnd& owner, UINT messageId) {
    CString message;
    message.LoadString(messageId);
    ShowErrorBox(owner, message);
}

void ShowErrorBox(CWnd& owner, const CString& message) {
    CString caption;
    caption.LoadString(IDS_CAPTION);
    owner.MessageBox(message, caption, MB_OK | MB_ICONERROR);
}

void CleanUpTemp(const CString& temp, const CString& runFolder) {
    // Windows removes no folder that is a current directory.
    SetCurrentDirectoryA(temp);
    // Every name, extracted or not: the setup program may have left one behind. What
    // else it left stays, and with it the folder, as it would have stayed in TEMP.
    DeleteEntryFiles(runFolder);
    // An elevated run leaves them. Any user may make folders at the drive root, and
    // RemoveDirectoryA follows a junction in every component of its path but the last:
    // one of these names made a junction would steer the removal to empty folders that
    // the user could not remove. A walk through handles that open each folder as itself
    // would close that, at more bytes than the stub has; unelevated, the run removes
    // only what its user could remove anyway.
    if (RunsElevated()) {
        return;
    }
    CString windir;
    GetEnvironmentUtf8("windir", windir);
    const CString driveRoot = windir.Left(DriveRootLength);
    for (const char* directory : StrayDirectoryTable) {
        RemoveDirectoryA(driveRoot + directory);
    }
}
