// tests/install/install_runner.h: an installer run in a process of its own, and what it
// left: natively the test forks and the child runs the install on the portable backend;
// on Windows a small installer program with real controls is the stub.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct InstallOutcome {
    bool ended = false;    // the process ended by itself: not killed, not hung
    uint32_t exitCode = 0; // as the host reports it (see AsHostExitCode)
    bool boxShown = false; // a message box was shown
    bool boxOwnedByDialog = false;
    std::string boxCaption;
    std::string boxText;
};

// What the setup stand-in wrote down about its start.
struct StandinRecord {
    bool found = false;
    std::string commandLine; // Windows only
    std::string directory;
    std::vector<std::string> arguments;
    std::vector<std::string> environment; // NAME=value
    std::string left;                     // the file it left behind
};

// A program built beside this test, by its name without extension.
std::string ProgramBeside(const char* name);

// The bytes an installer file begins with: its stub; the payload follows them.
std::string InstallerStub();

// The host directory that "C:\" stands for in a run: natively one made in scratch, on
// Windows the real one (under Wine the test prefix's own drive).
std::string PrepareDriveRoot(const std::string& scratch);

// Starts installer as a user would, in workingDirectory, with this process's environment,
// waits for its end and tells what it did. boxRecord is a scratch file for the runner.
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

// Whether two paths are the same as the host compares them: Windows ignores case.
bool SamePath(const std::string& left, const std::string& right);
