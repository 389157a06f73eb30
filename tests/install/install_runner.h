// tests/install/install_runner.h: an installer run in a process of its own, and what it
// left: natively the test forks and the child runs the install on the portable backend;
// on Windows a small installer program with real controls is the stub.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support.h"

struct InstallOutcome {
    bool ended = false;    // the process ended by itself: not killed, not hung
    uint32_t exitCode = 0; // as the host reports it (see AsHostExitCode)
    bool boxShown = false; // a message box was shown
    bool boxOwnedByDialog = false;
    std::string boxCaption;
    std::string boxText;
};

// A program built beside this test, by its name without extension.
std::string ProgramBeside(const char* name);

// The bytes an installer file begins with: its stub; the payload follows them.
std::string InstallerStub();

// The host directory that "C:\" stands for in a run: natively one made in scratch, on
// Windows the real one (under Wine the test prefix's own drive).
std::string PrepareDriveRoot(const std::string& scratch);

// An installer started as a user would start it, in a process of its own, with this
// process's environment at the start; several may run at once.
class CInstallerRun {
  public:
    CInstallerRun();
    ~CInstallerRun();
    CInstallerRun(const CInstallerRun&) = delete;
    CInstallerRun& operator=(const CInstallerRun&) = delete;

    // Starts installer in workingDirectory; boxRecord is a scratch file for the run.
    bool Start(const std::string& installer, const std::string& workingDirectory,
               const std::string& boxRecord);
    // Waits for the end of a started run and tells what it did.
    InstallOutcome Finish();

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

// Starts an installer and waits for its end.
InstallOutcome RunInstaller(const std::string& installer, const std::string& workingDirectory,
                            const std::string& boxRecord);

// An exit code as the host delivers it: POSIX keeps only the low eight bits.
uint32_t AsHostExitCode(uint32_t exitCode);

// Fills outcome's box fields from the record of a message box, if there is one: the line
// "message box owner=<owner> caption=<caption>", then the text. dialogOwner is how the
// record names the main dialog.
void ParseMessageBoxRecord(const std::string& record, const std::string& dialogOwner,
                           InstallOutcome& outcome);

// Checks that a program started with an empty argument list saw no arguments.
void ExpectEmptyCommandLine(const StandinRecord& record, const std::string& programPath);
