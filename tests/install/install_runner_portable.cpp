// tests/install/install_runner_portable.cpp: installer runs on the portable backend. The
// test forks; the child starts the install on a worker thread against in-memory windows
// and waits, like the dialog's thread, for the worker to end the process. Its standard
// error, where the portable backend shows message boxes, goes to a file.
#include <fcntl.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/install.h"
#include "engine/payload.h"
#include "platform/portable/control.h"
#include "platform/portable/window.h"
#include "platform/thread.h"
#include "tests/install/install_runner.h"
#include "tests/support.h"

namespace {

// The child's own failure, distinct from every status the installer uses.
constexpr int RunnerFailed = 125;
// Ends a child whose worker never ends the process; no run comes near it.
constexpr unsigned HangGuardSeconds = 60;

} // namespace

std::string InstallerStub() { return PatternBytes(StubLength, 3); }

std::string PrepareDriveRoot(const std::string& scratch) {
    std::string root = scratch + "/root";
    MakeDirectory(root);
    PortableSetDriveRoot(root.c_str());
    return root;
}

// The windows live here, in the parent, at the addresses the forked child uses too, so
// that a message box's owner can be told from its record.
struct CInstallerRun::Impl {
    PortableWindow dialog;
    PortableWindow progressBar;
    PortableWindow statusText;
    InstallThreadParams params = {&progressBar, &statusText};
    pid_t child = -1;
    std::string boxRecord;
};

CInstallerRun::CInstallerRun() : m_impl(new Impl) {
    m_impl->progressBar.parent = &m_impl->dialog;
    m_impl->progressBar.visible = true;
    m_impl->statusText.parent = &m_impl->dialog;
}

CInstallerRun::~CInstallerRun() {
    if (m_impl->child > 0) {
        Finish();
    }
}

bool CInstallerRun::Start(const std::string& installer, const std::string& workingDirectory,
                          const std::string& boxRecord) {
    m_impl->boxRecord = boxRecord;
    std::string commandLine = "\"" + installer + "\"";
    fflush(nullptr);
    m_impl->child = fork();
    if (m_impl->child == 0) {
        int box = open(boxRecord.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (box < 0 || dup2(box, STDERR_FILENO) < 0 || chdir(workingDirectory.c_str()) != 0) {
            _exit(RunnerFailed);
        }
        PortableSetCommandLine(commandLine.c_str());
        PortableSetModulePath(installer.c_str());
        alarm(HangGuardSeconds);
        if (AfxBeginThread(InstallThreadProc, &m_impl->params)) {
            for (;;) {
                pause();
            }
        }
        _exit(RunnerFailed);
    }
    return m_impl->child > 0;
}

InstallOutcome CInstallerRun::Finish() {
    InstallOutcome outcome;
    int status = 0;
    pid_t child = m_impl->child;
    m_impl->child = -1;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        ADD_FAILURE() << "could not run the installer";
        return outcome;
    }
    outcome.ended = WIFEXITED(status);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    char dialogOwner[32];
    snprintf(dialogOwner, sizeof dialogOwner, "%p", static_cast<void*>(&m_impl->dialog));
    ParseMessageBoxRecord(ReadFileBytes(m_impl->boxRecord), dialogOwner, outcome);
    return outcome;
}

uint32_t AsHostExitCode(uint32_t exitCode) { return exitCode & 0xFF; }

void ExpectEmptyCommandLine(const StandinRecord& record, const std::string& /*programPath*/) {
    // Linux 5.18 and later turn an empty argument list into one empty argument.
    EXPECT_TRUE(record.arguments.empty() || record.arguments == std::vector<std::string>{""})
        << record.arguments.size() << " arguments, the first \"" << record.arguments[0] << "\"";
}
