// tests/ui/causes_test.cpp: under Wine, a TEMP given relative or too long for the run's
// paths, and setup programs that Windows cannot start, each told by its real cause.
#include "engine/install.h"
#include "tests/ui/installer_fixture.h"

namespace {

// Clicks Install and answers the message box that follows; its text.
std::string InstallUntilMessage(CInstallerProcess& process, HWND dialog) {
    ClickControl(dialog, IDOK);
    HWND box = process.WaitForWindow(InstallerCaption, dialog);
    const std::string text = ControlText(box, MessageTextId);
    PressKey(box, VK_RETURN);
    return text;
}

// A relative TEMP names a folder below the one the installer started in, although the
// run changes its current directory before it starts the setup program; the longest
// TEMP the run's paths allow installs as well.
TEST_F(InstallerTest, RelativeAndLongestTempInstallAsTheirFullPaths) {
    const std::string longest = dir / std::string(220 - dir.path().size() - 1, 't');
    const struct {
        std::string temp;
        std::string folder;
    } cases[] = {{"t", dir / "t"}, {".\\t", dir / "t"}, {longest, longest}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.temp);
        MakeDirectory(c.folder);
        SetVariable("TEMP", c.temp);
        Launch(Installer(Payload()));
        ClickControl(dialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }));
        ExpectRunsInOwnFolder(ReadStandinRecord(record), c.folder, Payload());
        WriteFileBytes(release, "");
        EXPECT_EQ(42, process.WaitForExit());
        EXPECT_TRUE(ListDirectory(c.folder).empty());
        DeleteFileA(record.c_str());
        DeleteFileA(release.c_str());
    }
}

// One character more than the run's paths allow: said so, with the folder named, and
// nothing written.
TEST_F(InstallerTest, TempTooLongForTheRunIsNamedAndLeftEmpty) {
    temp = dir / std::string(221 - dir.path().size() - 1, 't');
    ASSERT_TRUE(MakeDirectory(temp));
    SetVariable("TEMP", temp);
    Launch(Installer(Payload()));
    const std::string text = InstallUntilMessage(process, dialog);
    EXPECT_NE(std::string::npos, text.find("too long:\n\n" + temp + "\n")) << text;
    EXPECT_EQ(ExitTempUnwritable, process.WaitForExit());
    EXPECT_TRUE(ListDirectory(temp).empty());
}

// A Setup.exe that is no program this Windows starts is the installer's fault, not the
// security software's.
TEST_F(InstallerTest, SetupThatIsNoProgramIsBlamedOnTheInstaller) {
    const std::string cases[] = {"", "@echo off\r\nexit /b 3\r\n", ReadFileBytes(Built("SFX_PLANTED_DLL"))};
    for (const std::string& setupBytes : cases) {
        SCOPED_TRACE(setupBytes.substr(0, 10));
        Launch(Installer({setupBytes, "jar", "", "", "", ""}));
        const std::string text = InstallUntilMessage(process, dialog);
        EXPECT_NE(std::string::npos,
                  text.find("\\Setup.exe\n\nThis installer's setup program cannot run on this "
                            "computer."))
            << text;
        EXPECT_EQ(std::string::npos, text.find("Security")) << text;
        EXPECT_EQ(ExitPlatformUnsupported, process.WaitForExit());
        EXPECT_TRUE(ListDirectory(temp).empty());
        EXPECT_FALSE(FileExists(dir / "planted_dll.dll.loaded"));
    }
}

// On 32-bit Windows, a setup program for 64-bit Windows packed into the 32-bit stub is the
// installer's fault too. Only a 32-bit Windows can show it (a 32-bit Wine prefix:
// tests/ui/CMakeLists.txt); 64-bit Windows runs the program.
TEST_F(InstallerTest, SetupFor64BitWindowsOn32BitWindowsIsBlamedOnTheInstaller) {
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    if (system.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL) {
        GTEST_SKIP() << "a 64-bit Windows runs 64-bit setup programs";
    }
    Launch(Installer({ReadFileBytes(Built("SFX_SETUP_X86_64")), "jar", "", "", "", ""}));
    const std::string text = InstallUntilMessage(process, dialog);
    EXPECT_NE(std::string::npos, text.find("This installer's setup program cannot run on this computer."))
        << text;
    EXPECT_EQ(ExitPlatformUnsupported, process.WaitForExit());
    EXPECT_TRUE(ListDirectory(temp).empty());
    EXPECT_FALSE(FileExists(record)) << "the setup program ran";
}

} // namespace
