// tests/ui/installer_cases_test.cpp: the installer as a user meets it under Wine, with the
// x86_64 stub and, in the i686 build, the product's: Ready, About and Cancel, an install
// from the click to the exit status, one table of how an installer is made, damaged or
// started and what each run leaves, signed installers two at a time, the hold on Setup.exe.
#include <filesystem>
#include <thread>

#include "engine/bounds.h"
#include "platform/system/file.h"
#include "platform/system/process.h"
#include "tests/ui/installer_fixture.h"

namespace {

// About opens by its button or by the system command (whatever its low four bits) and
// closes by its button or Escape; the window closes by Cancel or Escape.
TEST_F(InstallerTest, ShowsTheStoredTitleAndFileSizeAndCancelWritesNothing) {
    // Drawn as written: an ampersand marks no shortcut.
    const std::string padded = "Procter & Gamble R&D" + std::string(20, ' ');
    const std::string forty = "Forty Characters Without Any Blanks 1234";
    const struct {
        std::string image, title, size; // size: the image's when empty
        bool bySystemMenu;
        int closeAboutBy, closeBy;
    } cases[] = {
        {BuildInstaller(stub, padded, Payload()), padded, "", false, IDOK, IDCANCEL},
        {BuildInstaller(stub, forty, {"x"}), forty, "", true, VK_ESCAPE, VK_ESCAPE},
        {stub, "NO INSTALL DATA FOUND", "", false, VK_ESCAPE, VK_ESCAPE},
        // Moved away before it runs: neither its command line nor its module path opens.
        {Installer(Payload()), "UNKNOWN", "NO EXE FOUND!", false, VK_ESCAPE, VK_ESCAPE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        Launch(c.image, [&] {
            if (c.title == "UNKNOWN") {
                MoveFileA(installer.c_str(), (dir / "moved.exe").c_str());
            }
        });
        EXPECT_EQ("EEEV--", Looks());
        EXPECT_EQ(c.title, ControlText(dialog, IDC_PRODUCT));
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDC_PRODUCT), GWL_STYLE) & SS_NOPREFIX);
        if (c.bySystemMenu) {
            PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
        } else {
            ClickControl(dialog, IDC_ABOUT);
        }
        EXPECT_EQ(c.size.empty() ? std::to_string(c.image.size()) : c.size, CloseAbout(c.closeAboutBy));
        EXPECT_EQ("EEEV--", Looks()) << "back in Ready";
        c.closeBy == IDCANCEL ? ClickControl(dialog, IDCANCEL) : PressKey(dialog, VK_ESCAPE);
        EXPECT_EQ(ExitCancelled, process.WaitForExit());
    }
    EXPECT_TRUE(ListDirectory(temp).empty());
    EXPECT_FALSE(FileExists(record));
}

// Around the run: another run's file in TEMP, the folder the run would take first made by
// someone else.
TEST_F(InstallerTest, InstallShowsProgressThenStatusRunsSetupOnceInAFolderOfItsOwnAndCleansUp) {
    WriteFileBytes(temp + "\\Setup.jar", "another run's");
    SetVariable("SFX_STANDIN_LEAVE", "1");
    // Data enough to watch the bar move.
    const std::vector<std::string> entries = {setup, PatternBytes(6 << 20, 1), "aux", "", "f", "r"};
    std::string taken;
    Launch(Installer(entries), [&] {
        taken = "KelvaneSetup-" + std::to_string(process.id()) + "-0";
        MakeDirectory(temp + "\\" + taken);
        WriteFileBytes(temp + "\\" + taken + "\\knxl.dat", "planted");
    });
    ClickControl(dialog, IDOK);
    EXPECT_EQ("----V-", Looks()) << "buttons disabled, the bar in place of the web address";
    // A second Install or a Cancel sent during the extraction changes nothing.
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    std::vector<int> positions;
    WaitUntil([&] {
        int position = static_cast<int>(SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
        if (positions.empty() || positions.back() != position) {
            positions.push_back(position);
        }
        return IsWindowVisible(GetDlgItem(dialog, IDC_STATUS));
    });
    EXPECT_GE(positions.size(), 3u) << "the bar should move while the entries are copied";
    EXPECT_EQ("-----V", Looks()) << "the status text in place of the bar while setup runs";
    const std::string folder = std::filesystem::u8path(RunFolder()).filename().u8string();
    ExpectRunsInOwnFolder(ReadStandinRecord(record), temp, entries);
    // Nothing a user or another program sends now starts a second run or ends the dialog;
    // About still opens. A quit message ends the dialog's modal loop, not the run.
    ClickControl(dialog, IDOK);
    ClickControl(dialog, IDCANCEL);
    PressKey(dialog, VK_RETURN);
    PressKey(dialog, VK_ESCAPE);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    CloseAbout(IDOK);
    EXPECT_EQ("-----V", Looks()) << "the run goes on";
    PostMessageA(dialog, WM_QUIT, 0, 0);
    EXPECT_EQ(42, Release()) << "the setup program's status is the installer's";
    EXPECT_EQ(1u, ReadStandinRecord(record)["directory"].size()) << "the setup program should run once";
    // What it left under an entry's name goes; under a name of its own stays, with the folder.
    EXPECT_EQ((std::vector<std::string>{taken, folder, "Setup.jar"}), ListDirectory(temp));
    EXPECT_EQ(std::vector<std::string>{"install.log"}, ListDirectory(temp + "\\" + folder));
}

// Two at a time, from a folder named in Greek, with TEMP named in Cyrillic, which the
// session's Western code page cannot write.
TEST_F(InstallerTest, SignedInstallersTwoAtOnceInFoldersNamedInOtherScriptsEachInstallTheirOwnEntries) {
    ASSERT_EQ(1252u, GetACP());
    const std::string folder = dir / GreekName;
    temp = dir / CyrillicName;
    ASSERT_TRUE(MakeDirectory(folder) && MakeDirectory(temp));
    SetVariable("TEMP", temp);
    const std::string cases[2] = {"case-0", "case-7"};
    CInstallerProcess runs[2];
    for (int k = 0; k < 2; ++k) {
        WriteFileBytes(folder + "\\" + cases[k] + ".exe",
                       ReadFileBytes(Signed(cases[k] + "\\installer.exe")));
        SetVariable("SFX_STANDIN_RECORD", dir / cases[k]);
        SetVariable("SFX_STANDIN_STATUS", std::to_string(42 + k));
        ASSERT_TRUE(runs[k].Start("\"" + folder + "\\" + cases[k] + ".exe\"", dir.path(), false, "", true));
        // A command rather than a click: both windows open at the same place.
        PostMessageA(runs[k].WaitForWindow(InstallerCaption), WM_COMMAND, IDOK, 0);
    }
    // Each setup program lingers until both have started.
    for (const std::string& name : cases) {
        ExpectRunsInOwnFolder(WaitForRecord(dir / name), temp, SignedEntries(name));
    }
    WriteFileBytes(release, "");
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(42 + k, runs[k].WaitForExit()) << cases[k];
    }
    EXPECT_TRUE(ListDirectory(temp).empty());
}

// How the installer is made, damaged or started, and its surroundings; what the run ends
// with, and that it leaves nothing in TEMP, or beside the installer. An installer started
// under its own name runs its own payload, or tells before any window why not.
struct InstallerCase {
    const char* name;
    std::string image;
    long status;                           // the setup program's, when it runs
    std::string message;                   // in the box; none: the setup program runs
    std::vector<std::string> entries = {}; // the setup program finds beside itself
    std::string temp = "";                 // TEMP: "" the fixture's, "unset"
    std::function<void()> beforeRun = [] {};
    bool boxFirst = false; // the box comes instead of the window
    std::string commandLine = "";
    const char* missingDll = nullptr; // Wine reads its overrides as the process is made
};

TEST_F(InstallerTest, EachInstallerCaseEndsWithItsStatusAndMessageAndLeavesNothing) {
    const std::string longest = dir / std::string(220 - dir.path().size() - 1, 't');
    ASSERT_TRUE(MakeDirectory(longest));
    const std::string good = ReadFileBytes(Signed("case-1\\installer.exe"));
    auto At = [](const std::string& bytes, size_t at) {
        return ReadLittleEndian(reinterpret_cast<const unsigned char*>(&bytes[at]), 4);
    };
    const size_t table = At(good, SecurityEntryOffset(good)), checksum = At(good, 0x3C) + 24 + 64;
    auto Flip = [&](size_t at) { return FlipBit(good, at, 5); };
    // Sealed: a payload not its own would be refused, but only after the click.
    const std::string sealed = WithSealedDigest(Installer(Payload()), stub.size());
    auto WithSetup = [&](const std::string& bytes) { return Installer({bytes, "jar", "", "", "", ""}); };
    const std::vector<std::string> payload = Payload(), signedPayload = SignedEntries("case-1"), none;
    const std::string download = "download the installer again",
                      cannotRun =
                          "\\Setup.exe\n\nThis installer's setup program cannot run on this computer.",
                      moved = dir / "moved.exe";
    WriteFileBytes(dir / "other.exe",
                   BuildInstaller(stub, "Other", {"not the setup program", "x", "", "", "", ""}));
    HANDLE holder = nullptr;
    auto Hold = [&] {
        holder = CreateFileA(installer.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    const InstallerCase cases[] = {
        {"status 3010", Installer(payload), 3010, "", payload},
        {"TEMP at its longest", Installer(payload), 42, "", payload, longest},
        {"signed", good, 42, "", signedPayload},
        {"signed, its checksum changed", Flip(checksum), 42, "", signedPayload},
        {"signed, a stub byte", Flip(0x4E), ExitPackageInvalid, download},
        {"signed, its first PKCS#7 byte", Flip(table + 8), ExitPackageInvalid, download},
        {"TEMP unset", Installer(payload), ExitTempUnwritable, "\n%TEMP%\n", none, "unset"},
        {"TEMP missing", Installer(payload), ExitTempUnwritable, "\n" + (dir / "m") + "\n", none, dir / "m"},
        {"Setup.exe empty", WithSetup(""), ExitPlatformUnsupported, cannotRun},
        // Loaded, it would leave Setup.exe.loaded in the run's folder.
        {"Setup.exe a DLL", WithSetup(ReadFileBytes(Built("SFX_PLANTED_DLL"))), ExitPlatformUnsupported,
         cannotRun},
        {"Setup.exe for another processor", WithSetup(Changed(setup, At(setup, 0x3C) + 4, "\x64\xAA")),
         ExitPlatformUnsupported, cannotRun},
        // Without comctl32 there is no progress bar class.
        {"no window", Installer(payload), ExitInstallerFailed, "could not be opened", none, "", [] {}, true,
         "", "comctl32"},
        {"its command line naming another installer", sealed, 42, "", payload, "", [] {}, false,
         "\"" + (dir / "other.exe") + "\""},
        {"renamed, a hard link to it under its name", sealed, 42, "", payload, "",
         [&] {
             MoveFileA(installer.c_str(), moved.c_str()) &&
                 CreateHardLinkA(installer.c_str(), moved.c_str(), nullptr);
         }},
        {"renamed and replaced", sealed, ExitInstallerReplaced, "was replaced while it started", none, "",
         [&] {
             MoveFileA(installer.c_str(), moved.c_str());
             WriteFileBytes(installer, Installer({setup, "other", "", "", "", "", "tail"}));
         },
         true},
        {"held for a second", sealed, 42, "", payload, "",
         [&] {
             Hold();
             std::thread([held = holder] { Sleep(1000), CloseHandle(held); }).detach();
             holder = nullptr;
         }},
        {"held on", sealed, ExitInstallerInUse, "Another program is using this installer", none, "", Hold,
         true},
    };
    WriteFileBytes(installer, "");
    const std::vector<std::string> before = ListDirectory(dir.path());
    for (const InstallerCase& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(record.c_str()); // what a row before left does not fail this one
        std::filesystem::remove_all(std::filesystem::u8path(temp));
        MakeDirectory(temp);
        const std::string runsIn = c.temp.empty() ? temp : c.temp;
        SetVariable("TEMP", c.temp == "unset" ? "" : runsIn);
        SetVariable("SFX_STANDIN_STATUS", std::to_string(c.status));
        if (c.missingDll != nullptr) {
            OverrideDlls({c.missingDll}, "");
        }
        Launch(c.image, c.beforeRun, c.commandLine);
        std::string text;
        if (c.boxFirst) {
            text = ControlText(dialog, MessageTextId);
            PressKey(dialog, VK_RETURN);
        } else {
            EXPECT_TRUE(CannotChange()) << "in Ready";
            ClickControl(dialog, IDOK);
            if (c.message.empty()) {
                ExpectRunsInOwnFolder(WaitForRecord(record), runsIn, c.entries);
                EXPECT_TRUE(CannotChange()) << "while the setup program runs";
                EXPECT_EQ(c.status, Release());
                DeleteFileA(record.c_str());
            } else {
                text = AnswerBox();
            }
        }
        EXPECT_NE(std::string::npos, text.find(c.message)) << text;
        EXPECT_EQ(std::string::npos, text.find("Security")) << text;
        EXPECT_EQ(c.status, process.WaitForExit());
        EXPECT_FALSE(FileExists(record)) << "a setup program was started";
        EXPECT_TRUE(ListDirectory(runsIn).empty());
        CloseHandle(holder);
        holder = nullptr;
        DeleteFileA(moved.c_str());
        EXPECT_EQ(before, ListDirectory(dir.path()));
        RegDeleteTreeA(HKEY_CURRENT_USER, OverridesKey);
    }
}

// From its writing until its process exists nobody can delete, rename, replace or write the
// setup program, and it still starts, directly and through the shell, which installs cannot
// reach under Wine: it never asks for administrator rights.
TEST_F(InstallerTest, HeldSetupProgramCannotBeChangedButStartsBothWays) {
    const std::string program = dir / "Setup.exe";
    WriteFileBytes(release, "");
    ProgramProcess started = 0;
    EXPECT_EQ(StartResult::Failed, StartProgram(program.c_str(), dir.path().c_str(), started));
    EXPECT_EQ(StartResult::Failed,
              ShellExecuteProgram(program.c_str(), dir.path().c_str(), nullptr, started));
    CFileStream writer, held;
    ASSERT_TRUE(writer.Open(program.c_str(), CFileStream::modeWrite) &&
                writer.Write(setup.data(), setup.size()));
    ASSERT_TRUE(writer.CloseAndHold(held) && held.IsOpen());
    EXPECT_FALSE(DeleteFileA(program.c_str()));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(program.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    for (const bool throughShell : {false, true}) {
        DWORD exitCode = 0;
        ASSERT_EQ(StartResult::Started,
                  throughShell ? ShellExecuteProgram(program.c_str(), dir.path().c_str(), nullptr, started)
                               : StartProgram(program.c_str(), dir.path().c_str(), started));
        ASSERT_TRUE(WaitForProgram(started, exitCode));
        EXPECT_EQ(42u, exitCode);
    }
    const std::vector<std::string> directories = ReadStandinRecord(record)["directory"];
    ASSERT_EQ(2u, directories.size());
    EXPECT_TRUE(SamePath(dir.path(), directories[1])) << "the shell starts it in its folder too";
    held.Close();
    EXPECT_TRUE(DeleteFileA(program.c_str())) << "the hold is over";
}

} // namespace
