// tests/install/install_runner_win32.cpp: installer runs on Windows. An installer here is
// the sealed install harness with a payload appended, started the way Explorer starts a
// program; the harness writes down any message box it sees.
#include <stdio.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/install/install_runner.h"
#include "tests/support.h"

namespace fs = std::filesystem;

namespace {

// Ends a harness whose worker never ends the process; no run comes near it.
constexpr DWORD HangGuardMilliseconds = 60000;

} // namespace

std::string InstallerStub() { return ReadFileBytes(ProgramBeside("install_harness")); }

std::string PrepareDriveRoot(const std::string& /*scratch*/) { return "C:\\"; }

struct CInstallerRun::Impl {
    HANDLE process = nullptr;
    std::string boxRecord;
};

CInstallerRun::CInstallerRun() : m_impl(new Impl) {}

CInstallerRun::~CInstallerRun() {
    if (m_impl->process != nullptr) {
        Finish();
    }
}

bool CInstallerRun::Start(const std::string& installer, const std::string& workingDirectory,
                          const std::string& boxRecord) {
    m_impl->boxRecord = boxRecord;
    remove(boxRecord.c_str());
    SetEnv("SFX_HARNESS_RECORD", boxRecord.c_str());
    // In UTF-16, so that an installer in a folder named in any language can be started.
    std::wstring program = fs::u8path(installer).wstring();
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        fs::u8path(workingDirectory).c_str(), &startup, &process)) {
        ADD_FAILURE() << "could not start " << installer << ": error " << GetLastError();
        return false;
    }
    CloseHandle(process.hThread);
    m_impl->process = process.hProcess;
    return true;
}

InstallOutcome CInstallerRun::Finish() {
    InstallOutcome outcome;
    HANDLE process = m_impl->process;
    m_impl->process = nullptr;
    if (WaitForSingleObject(process, HangGuardMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        CloseHandle(process);
        return outcome;
    }
    DWORD exitCode = 0;
    outcome.ended = GetExitCodeProcess(process, &exitCode) != FALSE;
    outcome.exitCode = exitCode;
    CloseHandle(process);
    ParseMessageBoxRecord(ReadFileBytes(m_impl->boxRecord), "dialog", outcome);
    return outcome;
}

uint32_t AsHostExitCode(uint32_t exitCode) { return exitCode; }

void ExpectEmptyCommandLine(const StandinRecord& record, const std::string& programPath) {
    // Windows passes the empty text; Wine passes the program's path in quotes.
    EXPECT_TRUE(record.commandLine.empty() || SamePath(record.commandLine, "\"" + programPath + "\""))
        << record.commandLine;
}
