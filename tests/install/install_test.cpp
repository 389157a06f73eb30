// tests/install/install_test.cpp: install runs that must start nothing for causes only the
// portable backend can bring about (tests/ui runs the others under Wine), each a forked
// child running the install as the dialog's worker does; boxes go to its standard error.
#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "engine/install.h"
#include "engine/payload.h"
#include "engine/program_file.h"
#include "engine/seal.h"
#include "platform/system/portable/control.h"
#include "platform/system/process.h"
#include "platform/system/thread.h"
#include "platform/window/portable/window.h"
#include "tests/support.h"
#include "ui/resource.h"

namespace {

// The installer's texts, handed to the portable backend as the program's resources.
#define SFX_STRING(id, text) {id, text},
const PortableString Strings[] = {
#include "ui/res/strings.inc"
};
#undef SFX_STRING

// The main window, whose progress bar and status text an install run borrows: it owns
// the run's message boxes and consent prompt.
PortableWindow g_dialog;

// Runs an install in a forked child as the dialog's worker does, on the installer that
// prepare names and with the knobs it sets; the run ends its process. The exit status
// (POSIX keeps eight bits) and what the run showed on standard error: its message boxes
// and, from the portable backend, seal and consent prompt.
std::pair<int, std::string> RunForked(const ScratchDir& dir, const std::function<void()>& prepare) {
    PortableWindow progress, status;
    progress.parent = status.parent = &g_dialog;
    ProgramFile program;
    InstallThreadParams params = {&progress, &status, &program};
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int box = open((dir / "box").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(box, STDERR_FILENO);
        PortableSetStrings(Strings, sizeof Strings / sizeof Strings[0]);
        prepare();
        OpenProgramFile(program);
        alarm(60); // ends a worker that never ends the process
        AfxBeginThread(InstallThreadProc, &params);
        for (;;) {
            pause();
        }
    }
    int ended = 0;
    EXPECT_EQ(child, waitpid(child, &ended, 0));
    return {WIFEXITED(ended) ? WEXITSTATUS(ended) : -1, ReadFileBytes(dir / "box")};
}

// Each run sets TEMP, which scratch directories are made in, and the current directory:
// the next test finds both as they were.
class InstallRunTest : public ::testing::Test {
  protected:
    void TearDown() override {
        ASSERT_EQ(0, chdir(m_directory.c_str()));
        if (m_temp.empty()) {
            unsetenv("TEMP");
        } else {
            SetEnv("TEMP", m_temp.c_str());
        }
    }

  private:
    std::string m_temp = getenv("TEMP") != nullptr ? getenv("TEMP") : "";
    std::string m_directory = std::filesystem::current_path().string();
};

TEST_F(InstallRunTest, RunsThatMustStartNothingSayWhyAndLeaveTempAsItWas) {
    ScratchDir dir;
    // A setup program too large for the limit below; started, it would end the run with
    // another status.
    const std::vector<std::string> entries = {PatternBytes(8192, 1), "", "", "", "", ""};
    const std::string image = PatternBytes(StubLength, 3) + BuildInstaller(0, "Kelvane", entries);
    // A signed one, judged before anything is written, by the system's answer the test sets.
    std::string signedImage = BuildInstaller(PeStub(StubLength, false), "Kelvane", entries);
    AppendCertificateTable(signedImage, 800);
    // TEMP at the longest the run's paths allow, and one character longer.
    const std::string longest = dir / std::string(220 - dir.path().size() - 1, 't');
    // A folder whose own path leaves no room for a relative TEMP's full path.
    const std::string deep = dir / std::string(MAX_PATH - dir.path().size() - 3, 'd');
    const std::string security = "Security software may have blocked it";
    struct Case {
        std::string reason; // in the message
        int status;
        std::string installer; // gone.exe is never written
        std::string temp;
        DWORD startError = 0; // what starting the setup program fails with, when not its own
        SignatureCheck trust = SignatureCheck::Intact; // of signed.exe
        std::string start = "/";                       // the folder the installer starts in
    } cases[] = {
        {"damaged or incomplete", ExitPackageInvalid, dir / "signed.exe", dir / "temp", 0,
         SignatureCheck::Damaged},
        {"publisher is not trusted", ExitPublisherDistrusted, dir / "signed.exe", dir / "temp", 0,
         SignatureCheck::Distrusted},
        {"the TEMP folder", ExitNameNotInCodePage, dir / "setup.exe", dir / CyrillicName},
        {"could not read its own file", ExitPackageInvalid, dir / "gone.exe", dir / "temp"},
        {"\n" + (dir / "temp") + "/KelvaneSetup-", ExitTempUnwritable, dir / "setup.exe", dir / "temp"},
        {"too long:\n\n" + longest + "u\n", ExitTempUnwritable, dir / "setup.exe", longest + "u"},
        {"too long:\n\nt\n", ExitTempUnwritable, dir / "setup.exe", "t", 0, SignatureCheck::Intact, deep},
        // The pattern is no program: Linux will not run it.
        {"cannot run on this computer", ExitPlatformUnsupported, dir / "setup.exe", longest},
        {"cannot run on this computer", ExitPlatformUnsupported, dir / "setup.exe", dir / "temp", 216},
        {security, ExitSetupNotStarted, dir / "setup.exe", dir / "temp", 5},
        {security, ExitSetupNotStarted, dir / "setup.exe", dir / "temp", 1260},
        {security, ExitSetupNotStarted, dir / "setup.exe", dir / "temp", 225},
        {"\n\nNothing was installed. Please run the installer again.", ExitSetupNotStarted, dir / "setup.exe",
         dir / "temp", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::filesystem::create_directories(std::filesystem::u8path(c.installer).parent_path());
        MakeDirectory(c.start);
        ASSERT_EQ(0, chdir(c.start.c_str()));
        MakeDirectory(c.temp);
        if (c.installer != dir / "gone.exe") {
            WriteFileBytes(c.installer, c.installer == dir / "signed.exe" ? signedImage : image);
        }
        SetEnv("TEMP", c.temp.c_str());
        const auto [status, box] = RunForked(dir, [&] {
            PortableSetModulePath(c.installer.c_str());
            PortableSetAsciiCodePage(c.status == ExitNameNotInCodePage);
            PortableSetStartError(c.startError);
            PortableSetTrustAnswer(c.trust);
            // A limit on the size of files makes the setup program's writing fail; the
            // message box stays below it.
            if (c.status == ExitTempUnwritable) {
                signal(SIGXFSZ, SIG_IGN);
                rlimit limit = {4096, 4096};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
        });
        EXPECT_EQ(c.status & 0xFF, status) << "POSIX keeps eight bits";
        EXPECT_NE(std::string::npos, box.find(c.reason)) << box;
        EXPECT_EQ(c.reason == security, box.find("Security") != std::string::npos)
            << "only a refusal blames it";
        EXPECT_TRUE(ListDirectory(c.temp).empty());
    }
}

// What elevation changes, as Windows brings it about. A setup program that wants
// administrator rights (its start refused with 740) starts through the shell from a
// folder sealed first: it can neither add a file beside itself nor change one, its
// status is the run's, and the clean-up still removes the folder; a refused seal starts
// nothing. The stray directories of older setup programs go after an unelevated run and
// stay after an elevated one, whose removal a junction could steer. Without windir they
// are looked for in TEMP, and on POSIX each name, backslashes and all, is one directory.
TEST_F(InstallRunTest, ElevationSealsTheFolderFirstAndLeavesStrayDirectories) {
    ScratchDir dir;
    const std::vector<std::string> strays = {"%SystemRoot%\\Profiles\\All Users\\Desktop",
                                             "%SystemRoot%\\Profiles\\All Users",
                                             "%SystemRoot%\\Profiles",
                                             "%SystemRoot%",
                                             "%USERPROFILE%\\Desktop",
                                             "%USERPROFILE%"};
    // Its status says what it could do in its folder: 52 add a file, 53 change an entry,
    // 51 neither.
    const std::string setup = "#!/bin/sh\n"
                              "if (echo > planted.dll) 2>/dev/null; then rm planted.dll; exit 52; fi\n"
                              "if (echo >> Setup.jar) 2>/dev/null; then exit 53; fi\n"
                              "exit 51\n";
    WriteFileBytes(dir / "setup.exe", PatternBytes(StubLength, 3) +
                                          BuildInstaller(0, "Kelvane", {setup, "jar", "", "", "", ""}));
    ASSERT_EQ(0, unsetenv("windir"));
    struct Case {
        const char* name;
        bool elevated;
        DWORD startError;
        bool sealRefused;
        int status;
        bool straysLeft;
    } cases[] = {
        {"unelevated, started directly", false, 0, false, 52, false},
        {"elevated, started directly", true, 0, false, 51, true},
        {"elevated, the seal refused", true, 0, true, ExitSetupNotStarted & 0xFF, true},
        {"unelevated, elevation asked", false, ErrorElevationRequired, false, 51, false},
        {"unelevated, elevation asked, the seal refused", false, ErrorElevationRequired, true,
         ExitSetupNotStarted & 0xFF, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string temp = dir / std::to_string(&c - cases);
        MakeDirectory(temp);
        for (const std::string& stray : strays) {
            MakeDirectory(temp + "/" + stray);
        }
        SetEnv("TEMP", temp.c_str());
        const auto [status, box] = RunForked(dir, [&] {
            PortableSetModulePath((dir / "setup.exe").c_str());
            PortableSetElevated(c.elevated);
            PortableSetStartError(c.startError);
            PortableSetSealRefused(c.sealRefused);
            // Run as root, the setup program would write anywhere: the programs this
            // process starts lose the capabilities that override permissions.
            for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
            }
        });
        EXPECT_EQ(c.status, status) << box;
        EXPECT_EQ(c.sealRefused, box.find("could not be started") != std::string::npos) << box;
        // The consent prompt, over the main window, only after a seal that held.
        char prompt[64];
        snprintf(prompt, sizeof prompt, "consent prompt owner=%p\n", static_cast<void*>(&g_dialog));
        const size_t sealedAt = box.find("sealed " + temp + "/KelvaneSetup-"), promptAt = box.find(prompt);
        const bool elevatedStart = c.startError != 0 && !c.sealRefused;
        EXPECT_EQ(elevatedStart, promptAt != std::string::npos) << box;
        EXPECT_EQ(elevatedStart, promptAt != std::string::npos && sealedAt < promptAt) << box;
        EXPECT_EQ((c.elevated || c.startError != 0) && !c.sealRefused, sealedAt != std::string::npos) << box;
        std::vector<std::string> left = c.straysLeft ? strays : std::vector<std::string>();
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, ListDirectory(temp)) << "the run's folder and the stray directories";
    }
}

} // namespace
