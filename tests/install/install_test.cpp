// tests/install/install_test.cpp: runs only the portable backend brings about; each child's
// boxes, seal and consent prompt go to its standard error.
#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "engine/install.h"
#include "engine/program_file.h"
#include "engine/seal.h"
#include "platform/system/portable/control.h"
#include "platform/system/process.h"
#include "platform/system/thread.h"
#include "platform/window/portable/window.h"
#include "tests/support.h"
#include "ui/resource.h"

namespace {

#define SFX_STRING(id, text) {id, text},
const PortableString Strings[] = {
#include "ui/res/strings.inc"
};
#undef SFX_STRING

PortableWindow g_dialog;

// One that wants administrator rights (740), or any of an elevated run, starts from a folder
// sealed first. Older setup programs' stray directories (in TEMP without windir) go after an
// unelevated run only: a junction could steer an elevated one's removal.
TEST(InstallRun, EachRunSaysWhyItStartsNothingOrStartsAsItMust) {
    ScratchDir dir;
    auto Installer = [](const std::string& setup, const std::string& jar = "") {
        return BuildInstaller(StubLength, "Kelvane", {setup, jar, "", "", "", ""});
    };
    // Too large for the file size limit below; and no program Linux runs.
    const std::vector<std::string> entries = {PatternBytes(8192, 1), "", "", "", "", ""};
    const std::string image = Installer(entries[0]);
    // Long enough for another thread to find it being written, and a script ending 0.
    const std::string held = Installer("#!/bin/sh\nexit 0\n" + std::string(8 << 20, '#'));
    // 52: it could add a file, 53: change an entry, 51: neither; 50: others may enter.
    const std::string probe =
        Installer("#!/bin/sh\n[ $((0$(stat -c %a .) & 077)) = 0 ] || exit 50\n"
                  "if (echo > planted.dll) 2>/dev/null; then rm planted.dll; exit 52; fi\n"
                  "if (echo >> Setup.jar) 2>/dev/null; then exit 53; fi\nexit 51\n",
                  "jar");
    std::string signedImage = BuildInstaller(PeStub(StubLength, false), "Kelvane", entries);
    AppendCertificateTable(signedImage, 800);
    const std::string longest = dir / std::string(220 - dir.path().size() - 1, 't');
    // A folder whose own path leaves no room for a relative TEMP's full path.
    const std::string deep = dir / std::string(MAX_PATH - dir.path().size() - 3, 'd');
    const std::string security = "Security software may have blocked it", temp = dir / "temp";
    // Sorted, as listed; on POSIX each name, backslashes and all, is one directory.
    const std::vector<std::string> strays = {"%SystemRoot%",
                                             "%SystemRoot%\\Profiles",
                                             "%SystemRoot%\\Profiles\\All Users",
                                             "%SystemRoot%\\Profiles\\All Users\\Desktop",
                                             "%USERPROFILE%",
                                             "%USERPROFILE%\\Desktop"};
    ASSERT_EQ(0, unsetenv("windir"));
    const SignatureCheck intact = SignatureCheck::Intact;
    const int notStarted = ExitSetupNotStarted & 0xFF;
    struct Case {
        std::string reason; // in the message
        int status;
        std::string image; // "": the installer is gone
        std::string temp;
        DWORD startError = 0;
        SignatureCheck trust = SignatureCheck::Intact;
        std::string start = "/"; // the folder the installer starts in
        bool changeSetup = false;
        bool elevated = false, sealRefused = false, strays = false;
    } cases[] = {
        {"damaged or incomplete", ExitPackageInvalid, signedImage, temp, 0, SignatureCheck::Damaged},
        {"publisher is not trusted", ExitPublisherDistrusted, signedImage, temp, 0,
         SignatureCheck::Distrusted},
        {"the TEMP folder", ExitNameNotInCodePage, image, dir / CyrillicName},
        {"could not read its own file", ExitPackageInvalid, "", temp},
        {"\n" + temp + "/KelvaneSetup-", ExitTempUnwritable, image, temp},
        {"too long:\n\n" + longest + "u\n", ExitTempUnwritable, image, longest + "u"},
        {"too long:\n\nt\n", ExitTempUnwritable, image, "t", 0, intact, deep},
        {"cannot run on this computer", ExitPlatformUnsupported, image, longest},
        {"cannot run on this computer", ExitPlatformUnsupported, image, temp, 216},
        {security, ExitSetupNotStarted, image, temp, 5},
        {security, ExitSetupNotStarted, image, temp, 1260},
        {"\n\nNothing was installed. Please run the installer again.", ExitSetupNotStarted, image, temp, 2},
        {"changed the setup program", ExitSetupNotStarted, held, temp, 0, intact, "/", true},
        {"", 0, held, temp}, // the setup program's 0 is the installer's too
        {"", 52, probe, temp, 0, intact, "/", false, false, false, true},
        {"", 51, probe, temp, 0, intact, "/", false, true, false, true},
        {security, notStarted, probe, temp, 0, intact, "/", false, true, true, true},
        {"", 51, probe, temp, ErrorElevationRequired, intact, "/", false, false, false, true},
        {"could not be started", notStarted, probe, temp, ErrorElevationRequired, intact, "/", false, false,
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases) + ": " + c.reason);
        MakeDirectory(c.start);
        ASSERT_EQ(0, chdir(c.start.c_str()));
        std::filesystem::remove_all(std::filesystem::u8path(c.temp));
        MakeDirectory(c.temp);
        for (const std::string& stray : c.strays ? strays : std::vector<std::string>()) {
            std::filesystem::create_directories(std::filesystem::u8path(c.temp + "/" + stray));
        }
        std::filesystem::remove(std::filesystem::u8path(dir / "setup.exe"));
        if (!c.image.empty()) {
            WriteFileBytes(dir / "setup.exe", c.image);
        }
        setenv("TEMP", c.temp.c_str(), 1);
        // A change after the hold comes too late (the setup program runs, ending 0), one during
        // the start makes Linux refuse it (ETXTBSY): either is tried again.
        int status = -1, ended = 0;
        for (int tries = 0; tries < (c.changeSetup ? 20 : 1) &&
                            (tries == 0 || ReadFileBytes(dir / "box").find(c.reason) == std::string::npos);
             ++tries) {
            PortableWindow progress, text;
            progress.parent = text.parent = &g_dialog;
            ProgramFile program;
            InstallThreadParams params = {&progress, &text, &program};
            fflush(nullptr);
            const pid_t child = fork();
            if (child == 0) {
                dup2(open((dir / "box").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), STDERR_FILENO);
                PortableSetStrings(Strings, sizeof Strings / sizeof Strings[0]);
                PortableSetModulePath((dir / "setup.exe").c_str());
                PortableSetAsciiCodePage(c.status == ExitNameNotInCodePage);
                PortableSetStartError(c.startError);
                PortableSetTrustAnswer(c.trust);
                PortableSetElevated(c.elevated);
                PortableSetSealRefused(c.sealRefused);
                // As root the setup program would write anywhere.
                for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                    prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
                }
                // The setup program's writing fails; the message box stays below the limit.
                if (c.status == ExitTempUnwritable) {
                    signal(SIGXFSZ, SIG_IGN);
                    rlimit limit = {4096, 4096};
                    setrlimit(RLIMIT_FSIZE, &limit);
                }
                // Another program lengthens Setup.exe while it is written, before the hold.
                std::thread([&] {
                    for (int fd = -1; c.changeSetup && fd < 0;) {
                        for (const auto& folder : std::filesystem::directory_iterator(c.temp)) {
                            fd = open((folder.path() / "Setup.exe").c_str(), O_WRONLY);
                        }
                        if (fd >= 0 && pwrite(fd, "!", 1, 16 << 20) == 1) {
                            close(fd);
                        }
                    }
                }).detach();
                OpenProgramFile(program);
                alarm(60); // ends a worker that never ends the process
                AfxBeginThread(InstallThreadProc, &params);
                for (;;) {
                    pause();
                }
            }
            EXPECT_EQ(child, waitpid(child, &ended, 0));
            status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1; // POSIX keeps eight bits
        }
        const std::string box = ReadFileBytes(dir / "box");
        EXPECT_EQ(c.status & 0xFF, status) << box;
        EXPECT_NE(std::string::npos, box.find(c.reason)) << box;
        EXPECT_EQ(c.reason == security, box.find("Security") != std::string::npos)
            << "only a refusal blames it";
        char prompt[64];
        snprintf(prompt, sizeof prompt, "consent prompt owner=%p\n", static_cast<void*>(&g_dialog));
        const size_t sealedAt = box.find("sealed " + c.temp + "/KelvaneSetup-"), promptAt = box.find(prompt);
        const bool elevatedStart = c.startError == ErrorElevationRequired && !c.sealRefused;
        EXPECT_EQ(elevatedStart, promptAt != std::string::npos) << box;
        EXPECT_EQ(elevatedStart, promptAt != std::string::npos && sealedAt < promptAt) << box;
        EXPECT_EQ(elevatedStart || (c.elevated && !c.sealRefused), sealedAt != std::string::npos) << box;
        EXPECT_EQ(c.strays && c.elevated ? strays : std::vector<std::string>(), ListDirectory(c.temp));
    }
}

} // namespace
