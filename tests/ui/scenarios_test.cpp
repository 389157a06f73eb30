// tests/ui/scenarios_test.cpp: the installer as a user meets it under Wine, driven from
// outside: Ready, About and Cancel, an Install from the click to the exit status, signed
// installers two at a time, the runs that must start nothing (a damaged payload among
// them), the hold on Setup.exe.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/install.h"
#include "platform/system/file.h"
#include "platform/system/filesystem.h"
#include "platform/system/process.h"
#include "tests/ui/installer_fixture.h"

namespace {

// Each payload's window in Ready, with DLLs planted beside the installer under the names
// of those it loads at run time. About opens by its button or by the system command
// (whatever the system's own low four bits) and closes by its button or Escape; the
// window closes by Cancel or Escape.
TEST_F(InstallerTest, ShowsTheStoredTitleAndFileSizeLoadsNoPlantedDllAndCancelWritesNothing) {
    // (Not version.dll: Wine's own user32 imports it at start-up, before any code of the
    // program runs, which Windows' user32 does not.)
    const std::vector<std::string> planted = {"comctl32", "shell32", "uxtheme"};
    for (const std::string& name : planted) {
        ASSERT_TRUE(CopyFileA(Built("SFX_PLANTED_DLL").c_str(), (dir / name + ".dll").c_str(), FALSE))
            << name;
    }
    // Wine prefers its own built-in DLLs; ask it to take files first, as Windows does
    // for DLLs that are not among its known ones.
    OverrideDlls(planted, "native,builtin");
    // Drawn as written: an ampersand marks no shortcut.
    const std::string padded = "Procter & Gamble R&D" + std::string(20, ' ');
    const std::string forty = "Forty Characters Without Any Blanks 1234";
    struct Case {
        std::string image;
        std::string title;
        std::string size;  // empty: the image's
        bool bySystemMenu; // About by the system command, not by its button
        int closeAboutBy;  // its button or the Escape key
        int closeBy;       // Cancel or the Escape key
    } cases[] = {
        {BuildInstaller(stub, padded, Payload()), padded, "", false, IDOK, IDCANCEL},
        {BuildInstaller(stub, forty, {"x"}), forty, "", true, VK_ESCAPE, VK_ESCAPE},
        {stub, "NO INSTALL DATA FOUND", "", false, VK_ESCAPE, VK_ESCAPE},
        // Moved away before it runs: neither its command line nor its module path opens.
        {Installer(Payload()), "UNKNOWN", "NO EXE FOUND!", false, VK_ESCAPE, VK_ESCAPE},
    };
    for (const Case& c : cases) {
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
    for (const std::string& name : planted) {
        EXPECT_FALSE(FileExists(dir / name + ".dll.loaded")) << name << " was loaded";
    }
}

// Around the run: another run's file in TEMP, a DLL there that the setup program asks for
// by its bare name, the folder the run would take first made by someone else.
TEST_F(InstallerTest, InstallShowsProgressThenStatusRunsSetupOnceInAFolderOfItsOwnAndCleansUp) {
    WriteFileBytes(temp + "\\Setup.jar", "another run's");
    ASSERT_TRUE(CopyFileA(Built("SFX_PLANTED_DLL").c_str(), (temp + "\\kvplant.dll").c_str(), FALSE));
    SetVariable("SFX_STANDIN_LOAD", "kvplant.dll");
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
    ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }));
    ExpectRunsInOwnFolder(ReadStandinRecord(record), temp, entries);

    // Nothing a user or another program sends now may start a second run or end the
    // dialog; About still opens, and leaves the run undisturbed.
    ClickControl(dialog, IDOK);
    ClickControl(dialog, IDCANCEL);
    PressKey(dialog, VK_RETURN);
    PressKey(dialog, VK_ESCAPE);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    CloseAbout(IDOK);
    EXPECT_EQ("-----V", Looks()) << "the run goes on";
    // A quit message ends the dialog's modal loop, but not the run.
    PostMessageA(dialog, WM_QUIT, 0, 0);

    WriteFileBytes(release, "");
    EXPECT_EQ(42, process.WaitForExit()) << "the setup program's status is the installer's";
    EXPECT_EQ(1u, ReadStandinRecord(record)["directory"].size()) << "the setup program should run once";
    EXPECT_FALSE(FileExists(temp + "\\kvplant.dll.loaded")) << "the setup program loaded a DLL from TEMP";
    // What the setup program left under an entry's name goes; what it left under a name
    // of its own stays, and with it the folder.
    const std::string folder =
        std::filesystem::u8path(ReadStandinRecord(record)["directory"][0]).filename().u8string();
    EXPECT_EQ((std::vector<std::string>{taken, folder, "Setup.jar", "kvplant.dll"}), ListDirectory(temp));
    EXPECT_EQ(std::vector<std::string>{"install.log"}, ListDirectory(temp + "\\" + folder));
}

// Stray directories at the root of the Windows drive, left by older setup programs: a run
// without administrator rights removes them deepest first, and only when empty; an
// elevated one, whose removal a junction could steer, leaves them all.
TEST_F(InstallerTest, StrayDirectoriesAtTheDriveRootGoOnlyAfterAnUnelevatedRun) {
    const std::string root = std::string(getenv("windir")).substr(0, 3);
    WriteFileBytes(release, "");
    for (const bool elevated : {false, true}) {
        SCOPED_TRACE(elevated ? "elevated" : "limited");
        std::filesystem::create_directories(root + "%SystemRoot%\\Profiles\\All Users\\Desktop");
        std::filesystem::create_directories(root + "%USERPROFILE%\\Desktop");
        WriteFileBytes(root + "%USERPROFILE%\\Desktop\\kept.txt", "mine");
        limited = !elevated;
        Launch(Installer(Payload()));
        ClickControl(dialog, IDOK);
        EXPECT_EQ(42, process.WaitForExit());
        EXPECT_EQ(elevated, FileExists(root + "%SystemRoot%\\Profiles\\All Users\\Desktop"));
        EXPECT_EQ(elevated, FileExists(root + "%SystemRoot%"));
        EXPECT_TRUE(FileExists(root + "%USERPROFILE%\\Desktop\\kept.txt"));
        std::filesystem::remove_all(root + "%SystemRoot%");
        std::filesystem::remove_all(root + "%USERPROFILE%");
    }
}

// Made and signed on the build machine (make_signed_installers.sh): case-P/installer.exe
// leaves P bytes of padding before its certificate table and was made of case-P/input*.
// Two at a time, from a folder named in Greek, with TEMP named in Cyrillic, which the
// session's Western code page cannot write; without windir, stray directories are looked
// for in TEMP (by runs without administrator rights: elevated ones leave them).
TEST_F(InstallerTest, SignedInstallersTwoAtOnceInFoldersNamedInOtherScriptsEachInstallTheirOwnEntries) {
    ASSERT_EQ(1252u, GetACP());
    const std::string folder = dir / GreekName;
    temp = dir / CyrillicName;
    ASSERT_TRUE(MakeDirectory(folder) && MakeDirectory(temp));
    SetVariable("TEMP", temp);
    SetVariable("windir", "");
    for (int first = 0; first < 8; first += 2) {
        std::filesystem::create_directories(std::filesystem::u8path(temp + "\\%SystemRoot%\\Profiles"));
        const std::string cases[2] = {"case-" + std::to_string(first), "case-" + std::to_string(first + 1)};
        CInstallerProcess runs[2];
        for (int k = 0; k < 2; ++k) {
            WriteFileBytes(folder + "\\" + cases[k] + ".exe",
                           ReadFileBytes(Signed(cases[k] + "\\installer.exe")));
            SetVariable("SFX_STANDIN_RECORD", dir / cases[k]);
            SetVariable("SFX_STANDIN_STATUS", std::to_string(42 + k));
            ASSERT_TRUE(
                runs[k].Start("\"" + folder + "\\" + cases[k] + ".exe\"", dir.path(), false, "", true));
            // A command rather than a click: both windows open at the same place.
            PostMessageA(runs[k].WaitForWindow(InstallerCaption), WM_COMMAND, IDOK, 0);
        }
        // Each setup program lingers until both have started.
        ASSERT_TRUE(WaitUntil([&] { return FileExists(dir / cases[0]) && FileExists(dir / cases[1]); }));
        for (const std::string& name : cases) {
            std::vector<std::string> entries;
            for (int k = 0; k < PayloadEntryCount; ++k) {
                const std::string input = Signed(name + "\\input" + std::to_string(k + 1));
                if (FileExists(input) || k < RequiredEntryCount) {
                    entries.push_back(ReadFileBytes(input));
                }
            }
            ExpectRunsInOwnFolder(ReadStandinRecord(dir / name), temp, entries);
        }
        WriteFileBytes(release, "");
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(42 + k, runs[k].WaitForExit()) << cases[k];
        }
        EXPECT_TRUE(ListDirectory(temp).empty());
        DeleteFileA(release.c_str());
    }
}

TEST_F(InstallerTest, RunsThatMustStartNothingSayWhyEndWithTheirStatusAndWriteNothing) {
    const std::string file = dir / "a file";
    WriteFileBytes(file, "not a folder");
    std::string cut = Installer(Payload());
    cut.pop_back();
    std::string changed = ReadFileBytes(Signed("case-1\\installer.exe"));
    changed[stub.size() + 5000] ^= 0x20;
    // One bit flipped in a payload whose CRC-32 was sealed in, as sfxpack build does.
    const std::string sealed = WithSealedDigest(Installer(Payload()), stub.size());
    const size_t jar = stub.size() + TitleFieldLength + 2 * LengthFieldDigits + setup.size();
    struct Case {
        const char* name;
        std::string image;
        std::string temp; // TEMP for the run
        long status;
        std::string reason; // in the message
        std::vector<std::string> missingDlls = {};
    } cases[] = {
        {"cut short", cut, temp, ExitPackageInvalid, "download the installer again"},
        {"a byte changed after signing", changed, temp, ExitPackageInvalid, "download the installer again"},
        {"a bit of the title", FlipBit(sealed, stub.size() + 3), temp, ExitPackageInvalid, "download"},
        {"a bit of Setup.exe", FlipBit(sealed, stub.size() + 2000, 7), temp, ExitPackageInvalid, "download"},
        {"a bit of Setup.jar", FlipBit(sealed, jar + 1, 3), temp, ExitPackageInvalid, "download"},
        {"a bit of a length field", FlipBit(sealed, jar - 1), temp, ExitPackageInvalid, "download"},
        {"cut short before signing", ReadFileBytes(Signed("cut.exe")), temp, ExitPackageInvalid, "download"},
        {"TEMP unset", Installer(Payload()), "", ExitTempUnwritable, "\n%TEMP%\n"},
        {"TEMP a file", Installer(Payload()), file, ExitTempUnwritable, "\n" + file + "\n"},
        {"TEMP missing", Installer(Payload()), dir / "missing", ExitTempUnwritable,
         "\n" + (dir / "missing") + "\n"},
        {"no setup program", Installer({"no program", "", "", "", "", ""}), temp, ExitPlatformUnsupported,
         "\\Setup.exe\n\nThis installer's setup program cannot run"},
        // Without comctl32 there is no progress bar class, so the dialog cannot be made.
        {"no window", Installer(Payload()), temp, ExitInstallerFailed, "could not be opened", {"comctl32"}},
    };
    WriteFileBytes(installer, "");
    const std::vector<std::string> before = ListDirectory(dir.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetVariable("TEMP", c.temp);
        OverrideDlls(c.missingDlls, "");
        Launch(c.image);
        HWND box = dialog;
        if (c.missingDlls.empty()) {
            ClickControl(dialog, IDOK);
            box = process.WaitForWindow(InstallerCaption, dialog);
            EXPECT_EQ(dialog, GetWindow(box, GW_OWNER)) << "the box stays in front of the window";
        }
        const std::string text = ControlText(box, MessageTextId);
        EXPECT_NE(std::string::npos, text.find(c.reason)) << text;
        PressKey(box, VK_RETURN);
        EXPECT_EQ(c.status, process.WaitForExit());
        EXPECT_FALSE(FileExists(record)) << "a setup program was started";
        EXPECT_TRUE(ListDirectory(temp).empty());
        EXPECT_EQ(before, ListDirectory(dir.path()));
    }
}

// From its writing until its process exists nobody can delete, rename, replace or write
// the setup program (the first three ask for the same sharing), and it still starts,
// directly and through the shell, which installs cannot reach under Wine: it never asks
// for administrator rights.
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
