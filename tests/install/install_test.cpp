// tests/install/install_test.cpp: install runs that must start nothing for causes only the
// portable backend can bring about (tests/ui runs the others under Wine), each a forked
// child running the install as the dialog's worker does; boxes go to its standard error.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/install.h"
#include "engine/layout.h"
#include "platform/portable/control.h"
#include "platform/portable/window.h"
#include "platform/thread.h"
#include "tests/support.h"
#include "ui/resource.h"

namespace {

// The installer's texts, handed to the portable backend as the program's resources.
#define SFX_STRING(id, text) {id, text},
const PortableString Strings[] = {
#include "ui/res/strings.inc"
};
#undef SFX_STRING

TEST(InstallRunTest, RunsThatMustStartNothingSayWhyAndLeaveTempAsItWas) {
    ScratchDir dir;
    // A setup program too large for the limit below; started, it would end the run with
    // another status.
    const std::string image = PatternBytes(StubLength, 3) +
                              BuildInstaller(0, "Kelvane", {PatternBytes(8192, 1), "", "", "", "", ""});
    struct Case {
        std::string reason; // in the message
        int status;
        std::string installer; // gone.exe is never written
        std::string temp;
    } cases[] = {
        {"this installer or of its folder", ExitNameNotInCodePage, dir / GreekName + "/setup.exe",
         dir / "temp"},
        {"the TEMP folder", ExitNameNotInCodePage, dir / "setup.exe", dir / CyrillicName},
        {"damaged or incomplete", ExitPackageInvalid, dir / "gone.exe", dir / "temp"},
        {"\n" + (dir / "temp") + "/KelvaneSetup-", ExitTempUnwritable, dir / "setup.exe", dir / "temp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::filesystem::create_directories(std::filesystem::u8path(c.installer).parent_path());
        MakeDirectory(c.temp);
        if (c.installer != dir / "gone.exe") {
            WriteFileBytes(c.installer, image);
        }
        SetEnv("TEMP", c.temp.c_str());
        PortableWindow progress, status;
        InstallThreadParams params = {&progress, &status};
        fflush(nullptr);
        pid_t child = fork();
        if (child == 0) {
            int box = open((dir / "box").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            dup2(box, STDERR_FILENO);
            PortableSetStrings(Strings, sizeof Strings / sizeof Strings[0]);
            PortableSetCommandLine(("\"" + c.installer + "\"").c_str());
            PortableSetModulePath(c.installer.c_str());
            PortableSetAsciiCodePage(c.status == ExitNameNotInCodePage);
            // A limit on the size of files makes the setup program's writing fail; the
            // message box stays below it.
            if (c.status == ExitTempUnwritable) {
                signal(SIGXFSZ, SIG_IGN);
                rlimit limit = {4096, 4096};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            alarm(60); // ends a worker that never ends the process
            AfxBeginThread(InstallThreadProc, &params);
            for (;;) {
                pause();
            }
        }
        int ended = 0;
        ASSERT_EQ(child, waitpid(child, &ended, 0));
        EXPECT_EQ(c.status & 0xFF, WIFEXITED(ended) ? WEXITSTATUS(ended) : -1) << "POSIX keeps eight bits";
        const std::string box = ReadFileBytes(dir / "box");
        EXPECT_NE(std::string::npos, box.find(c.reason)) << box;
        EXPECT_TRUE(ListDirectory(c.temp).empty());
    }
}

} // namespace
