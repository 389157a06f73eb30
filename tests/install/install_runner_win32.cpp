// tests/install/install_runner_win32.cpp: installer runs on Windows. An installer here is
// the sealed install harness with a payload appended, started the way Explorer starts a
// program; the harness writes down any message box it sees.
#include <stdio.h>

#include <gtest/gtest.h>

#include "tests/install/install_runner.h"
#include "tests/support.h"

namespace {

// Ends a harness whose worker never ends the process; no run comes near it.
constexpr DWORD HangGuardMilliseconds = 60000;

} // namespace

std::string InstallerStub() { return ReadFileBytes(ProgramBeside("install_harness")); }

std::string PrepareDriveRoot(const std::string& /*scratch*/) { return "C:\\"; }

InstallOutcome RunInstaller(const std::string& installer, const std::string& workingDirectory,
                            const std::string& boxRecord) {
    InstallOutcome outcome;
    remove(boxRecord.c_str());
    SetEnv("SFX_HARNESS_RECORD", boxRecord.c_str());
    std::string commandLine = "\"" + installer + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(installer.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.c_str(), &startup, &process)) {
        ADD_FAILURE() << "could not start " << installer << ": error " << GetLastError();
        return outcome;
    }
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, HangGuardMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return outcome;
    }
    DWORD exitCode = 0;
    outcome.ended = GetExitCodeProcess(process.hProcess, &exitCode) != FALSE;
    outcome.exitCode = exitCode;
    CloseHandle(process.hProcess);
    ParseMessageBoxRecord(ReadFileBytes(boxRecord), "dialog", outcome);
    return outcome;
}

uint32_t AsHostExitCode(uint32_t exitCode) { return exitCode; }

void ExpectEmptyCommandLine(const StandinRecord& record, const std::string& programPath) {
    // Windows passes the empty text; Wine passes the program's path in quotes.
    EXPECT_TRUE(record.commandLine.empty() || SamePath(record.commandLine, "\"" + programPath + "\""))
        << record.commandLine;
}

bool SamePath(const std::string& left, const std::string& right) {
    return lstrcmpiA(left.c_str(), right.c_str()) == 0;
}
