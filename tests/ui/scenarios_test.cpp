// tests/ui/scenarios_test.cpp: the installer as a user meets it: its window in Ready,
// Cancel, and an Install run from the click to the exit status, driven from outside.
#include <gtest/gtest.h>

#include "engine/install.h"
#include "engine/payload.h"
#include "tests/support.h"
#include "tests/ui/driver.h"
#include "ui/resource.h"

namespace {

const char Caption[] = "Kelvane Pro Self-Extractor";
const char AboutCaption[] = "About Kelvane Pro Self-Extractor";
const char* const EntryNames[] = {"Setup.exe", "Setup.jar", "setup.aux", "setup.cls",
                                  "knxf.dat",  "knxr.dat",  "knxl.dat"};

class InstallerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(MakeDirectory(temp)); }

    // Writes the installer, starts it with TEMP in the scratch directory and waits for
    // its window.
    HWND Launch(const std::string& image, std::vector<std::string> environment = {}) {
        WriteFileBytes(installer, image);
        environment.push_back("TEMP=" + temp);
        environment.push_back("SFX_TEST_LOG=" + log);
        environment.push_back("SFX_TEST_HOLD=" + hold);
        environment.push_back("SFX_TEST_STATUS=42");
        EXPECT_TRUE(process.Start("\"" + installer + "\"", environment));
        dialog = process.WaitForWindow(Caption);
        EXPECT_NE(nullptr, dialog);
        return dialog;
    }

    // A payload whose setup program is the stand-in, with data enough to watch the bar move.
    std::string FullInstaller() const {
        return BuildInstaller(stub, "Kelvane Studio", {setup, PatternBytes(6 << 20, 1), "aux", "", "f", "r"});
    }

    std::vector<std::string> LeftInTemp() const {
        std::vector<std::string> left;
        for (const char* name : EntryNames) {
            if (FileExists(temp + "\\" + name)) {
                left.push_back(name);
            }
        }
        return left;
    }

    // The main dialog's state as a user sees it.
    std::string Looks() const {
        std::string looks;
        for (int id : {IDOK, IDCANCEL, IDC_ABOUT}) {
            looks += ControlEnabled(dialog, id) ? "E" : "-";
        }
        for (int id : {IDC_HOMEPAGE, IDC_PROGRESS, IDC_STATUS}) {
            looks += ControlVisible(dialog, id) ? "V" : "-";
        }
        return looks;
    }

    ScratchDir dir;
    std::string temp = dir / "temp";
    std::string installer = dir / "installer.exe";
    std::string log = dir / "setup.log";
    std::string hold = dir / "release-setup";
    std::string stub = ReadFileBytes(g_paths.stub);
    std::string setup = ReadFileBytes(g_paths.setup);
    CInstallerProcess process;
    HWND dialog = nullptr;
};

TEST_F(InstallerTest, ShowsTheTitleAsStored) {
    for (const std::string& title : {std::string("Forty Characters Without Any Blanks 1234"),
                                     std::string("Kelvane Studio") + std::string(26, ' ')}) {
        CInstallerProcess run;
        WriteFileBytes(installer, BuildInstaller(stub, title, {"x"}));
        ASSERT_TRUE(run.Start("\"" + installer + "\"", {"TEMP=" + temp}));
        HWND window = run.WaitForWindow(Caption);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(title, ControlText(window, IDC_PRODUCT));
        PressKey(window, VK_ESCAPE);
        EXPECT_EQ(ExitCancelled, run.WaitForExit());
    }
}

TEST_F(InstallerTest, AZeroByteEndsTheTitle) {
    Launch(BuildInstaller(stub, std::string("Kelvane\0Studio", 14), {"x"}));
    EXPECT_EQ("Kelvane", ControlText(dialog, IDC_PRODUCT));
}

TEST_F(InstallerTest, StubWithoutPayloadSaysSoAndShowsItsSealedLength) {
    Launch(stub);
    EXPECT_EQ("NO INSTALL DATA FOUND", ControlText(dialog, IDC_PRODUCT));
    ClickControl(dialog, IDC_ABOUT);
    HWND about = process.WaitForWindow(AboutCaption);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(std::to_string(stub.size()), ControlText(about, IDC_SIZE));
}

TEST_F(InstallerTest, VanishedProgramFileIsUnknownAndHasNoSize) {
    WriteFileBytes(installer, FullInstaller());
    ASSERT_TRUE(process.Start("\"" + installer + "\"", {"TEMP=" + temp}, true));
    // Moved away before it runs: neither its command line nor its module path opens.
    ASSERT_TRUE(MoveFileA(installer.c_str(), (dir / "moved.exe").c_str()));
    process.Resume();
    dialog = process.WaitForWindow(Caption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("UNKNOWN", ControlText(dialog, IDC_PRODUCT));
    ClickControl(dialog, IDC_ABOUT);
    HWND about = process.WaitForWindow(AboutCaption);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ("NO EXE FOUND!", ControlText(about, IDC_SIZE));
}

TEST_F(InstallerTest, ReadyThenCancelWritesNothing) {
    Launch(FullInstaller());
    EXPECT_EQ("EEEV--", Looks());
    EXPECT_EQ("Kelvane Studio" + std::string(26, ' '), ControlText(dialog, IDC_PRODUCT));
    EXPECT_EQ(dialog, GetForegroundWindow());
    ClickControl(dialog, IDCANCEL);
    EXPECT_EQ(ExitCancelled, process.WaitForExit());
    EXPECT_TRUE(LeftInTemp().empty());
    EXPECT_FALSE(FileExists(log));
}

TEST_F(InstallerTest, InstallRunsSetupOnceAndCleansUp) {
    Launch(FullInstaller());
    ClickControl(dialog, IDOK);
    EXPECT_EQ("----V-", Looks()) << "buttons disabled, the bar in place of the web address";

    // The bar moves while the entries are copied.
    std::vector<int> positions;
    WaitUntil([&] {
        int position = static_cast<int>(SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
        if (positions.empty() || positions.back() != position) {
            positions.push_back(position);
        }
        return ControlVisible(dialog, IDC_STATUS);
    });
    EXPECT_GE(positions.size(), 3u) << "the bar should have shown several positions";

    // Running setup: the status text replaces the bar.
    EXPECT_EQ("-----V", Looks());
    EXPECT_EQ("KelvanePro Initializing....", ControlText(dialog, IDC_STATUS));
    ASSERT_TRUE(WaitUntil([&] { return FileExists(log); }));

    // Nothing a user or another program sends now may start a second run or end the dialog.
    ClickControl(dialog, IDOK);
    ClickControl(dialog, IDCANCEL);
    PressKey(dialog, VK_RETURN);
    PressKey(dialog, VK_ESCAPE);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    Sleep(300);
    EXPECT_FALSE(process.HasExited());
    EXPECT_EQ("-----V", Looks());

    WriteFileBytes(hold, "");
    EXPECT_EQ(42, process.WaitForExit()) << "the setup program's status is the installer's";
    EXPECT_EQ("ran in " + temp + "\n", ReadFileBytes(log));
    EXPECT_TRUE(LeftInTemp().empty());
}

TEST_F(InstallerTest, SecondInstallDuringExtractionChangesNothing) {
    Launch(BuildInstaller(stub, "Kelvane Studio", {setup, PatternBytes(6 << 20, 2), "", "", "", ""}));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(log); }));
    WriteFileBytes(hold, "");
    EXPECT_EQ(42, process.WaitForExit());
    EXPECT_EQ("ran in " + temp + "\n", ReadFileBytes(log)) << "exactly one run";
}

TEST_F(InstallerTest, DamagedInstallerSaysSoAndRunsNothing) {
    std::string image = FullInstaller();
    Launch(image.substr(0, image.size() - 1000));
    ClickControl(dialog, IDOK);
    // The message box: the main window's caption, but a window of its own.
    HWND box = process.WaitForWindow(Caption, dialog, 30000);
    ASSERT_NE(nullptr, box);
    const int MessageTextId = 0xFFFF;
    EXPECT_NE(std::string::npos, ControlText(box, MessageTextId).find("download the installer again"))
        << ControlText(box, MessageTextId);
    PressKey(box, VK_RETURN);
    EXPECT_EQ(ExitPackageInvalid, process.WaitForExit());
    EXPECT_FALSE(FileExists(log)) << "nothing of a damaged installer is run";
    EXPECT_TRUE(LeftInTemp().empty());
}

TEST_F(InstallerTest, WindowKeepsTheTemplatePlaceAndSizeWithoutCaptionBoxes) {
    Launch(FullInstaller());
    RECT window;
    GetWindowRect(dialog, &window);
    EXPECT_EQ(0, window.left);
    EXPECT_EQ(0, window.top);
    RECT expected = TemplateClientRect(g_paths.stub, IDD_SELFEXTRACT_DIALOG);
    ASSERT_GT(expected.right, 258) << "258 x 66 dialog units in pixels";
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(expected.right, client.right);
    EXPECT_EQ(expected.bottom, client.bottom);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(nullptr, GetSystemMenu(dialog, FALSE));
    EXPECT_NE(0, GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST_F(InstallerTest, DllsPlantedBesideTheInstallerAreNeverLoaded) {
    // (Not version.dll: Wine's own user32 imports it at start-up, before any code of the
    // program runs, which Windows' user32 does not.)
    const char* const planted[] = {"comctl32.dll", "shell32.dll", "uxtheme.dll"};
    for (const char* name : planted) {
        ASSERT_TRUE(CopyFileA(g_paths.plantedDll.c_str(), (dir / name).c_str(), FALSE)) << name;
    }
    // Wine would prefer its own built-in DLLs anyway; ask it to take files first, as
    // Windows does for DLLs that are not among its known ones.
    Launch(FullInstaller(), {"WINEDLLOVERRIDES=comctl32,shell32,uxtheme=n,b"});
    ClickControl(dialog, IDC_ABOUT);
    HWND about = process.WaitForWindow(AboutCaption);
    ASSERT_NE(nullptr, about);
    PressKey(about, VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    PressKey(dialog, VK_ESCAPE);
    EXPECT_EQ(ExitCancelled, process.WaitForExit());
    for (const char* name : planted) {
        EXPECT_FALSE(FileExists(dir / (std::string(name) + ".loaded"))) << name << " was loaded";
    }
}

// --- Signed installers -------------------------------------------------------------
// Made and signed on the build machine (make_signed_installers.sh): case-P/installer.exe
// leaves P bytes of padding before its certificate table and was made of case-P/input*.

class SignedInstallerTest : public InstallerTest {
  protected:
    void SetUp() override {
        InstallerTest::SetUp();
        if (g_paths.signedInstallers.empty()) {
            GTEST_SKIP() << "no signed installers given (--signed=DIR)";
        }
    }

    std::string Signed(const std::string& name) const { return g_paths.signedInstallers + "\\" + name; }

    // Installs the image and, while the setup program runs, compares what was unpacked
    // beside it with the inputs the installer was made of.
    void ExpectInstalledAsPacked(const std::string& image, const std::string& inputs) {
        Launch(image);
        ClickControl(dialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return FileExists(log); }, 60000));
        const std::string ranIn = ReadFileBytes(log).substr(7);
        const std::string folder = ranIn.substr(0, ranIn.find('\n'));
        for (int k = 0; k < PayloadEntryCount; ++k) {
            const std::string input = inputs + "\\input" + std::to_string(k + 1);
            const std::string output = folder + "\\" + EntryNames[k];
            if (FileExists(input) || k < RequiredEntryCount) {
                EXPECT_EQ(ReadFileBytes(input), ReadFileBytes(output)) << EntryNames[k];
            } else {
                EXPECT_FALSE(FileExists(output)) << EntryNames[k] << " was not packed";
            }
        }
        WriteFileBytes(hold, "");
        EXPECT_EQ(42, process.WaitForExit());
        EXPECT_TRUE(LeftInTemp().empty());
    }

    void ExpectDamagedAndNothingRun(const std::string& image) {
        Launch(image);
        ClickControl(dialog, IDOK);
        HWND box = process.WaitForWindow(Caption, dialog, 30000);
        ASSERT_NE(nullptr, box);
        const int MessageTextId = 0xFFFF;
        EXPECT_NE(std::string::npos, ControlText(box, MessageTextId).find("download the installer again"));
        PressKey(box, VK_RETURN);
        EXPECT_EQ(ExitPackageInvalid, process.WaitForExit());
        EXPECT_FALSE(FileExists(log)) << "nothing of a changed installer is run";
        EXPECT_TRUE(LeftInTemp().empty());
    }
};

TEST_F(SignedInstallerTest, InstallsEveryEntryWhateverThePadding) {
    for (int padding = 0; padding < 8; ++padding) {
        SCOPED_TRACE("padding " + std::to_string(padding));
        const std::string inputs = Signed("case-" + std::to_string(padding));
        ExpectInstalledAsPacked(ReadFileBytes(inputs + "\\installer.exe"), inputs);
        DeleteFileA(log.c_str());
        DeleteFileA(hold.c_str());
    }
}

TEST_F(SignedInstallerTest, AByteChangedAfterSigningRunsNothing) {
    std::string image = ReadFileBytes(Signed("case-1\\installer.exe"));
    image[stub.size() + TitleFieldLength + LengthFieldDigits + 5000] ^= 0x20;
    ExpectDamagedAndNothingRun(image);
}

TEST_F(SignedInstallerTest, CutShortBeforeSigningRunsNothing) {
    ExpectDamagedAndNothingRun(ReadFileBytes(Signed("cut.exe")));
}

// A security entry naming no table at the end of the file: read as unsigned.
TEST_F(SignedInstallerTest, ABogusSecurityEntryIsUnsigned) {
    const std::string inputs = Signed("case-0");
    std::string image = ReadFileBytes(inputs + "\\installer.exe");
    const PayloadBounds bounds = [&] {
        WriteFileBytes(installer, image);
        CFileStream file;
        file.Open(installer.c_str(), CFileStream::modeRead);
        return FindPayloadBounds(file);
    }();
    ASSERT_EQ(Signature::AtEnd, bounds.signature);
    image.resize(static_cast<size_t>(bounds.end));
    const uint32_t pastTheEnd = static_cast<uint32_t>(image.size()) + 64;
    image.replace(static_cast<size_t>(bounds.directoryOffset), 4, reinterpret_cast<const char*>(&pastTheEnd),
                  4);
    ExpectInstalledAsPacked(image, inputs);
}

// --- About ---------------------------------------------------------------------------

TEST_F(InstallerTest, AboutShowsTheFileSizeAndClosesThreeWays) {
    std::string image = FullInstaller();
    Launch(image);
    for (int way = 0; way < 3; ++way) {
        ClickControl(dialog, IDC_ABOUT);
        HWND about = process.WaitForWindow(AboutCaption);
        ASSERT_NE(nullptr, about) << way;
        EXPECT_EQ(std::to_string(image.size()), ControlText(about, IDC_SIZE)) << "exact, no blanks";
        if (way == 0) {
            ClickControl(about, IDOK);
        } else if (way == 1) {
            ClickCloseBox(about);
        } else {
            PressKey(about, VK_ESCAPE);
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); })) << way;
        EXPECT_EQ("EEEV--", Looks()) << "back in Ready after closing way " << way;
    }
}

TEST_F(InstallerTest, SystemCommandOpensAboutEvenDuringARun) {
    Launch(FullInstaller());
    // The low four bits of the command are the system's own and do not count.
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
    HWND about = process.WaitForWindow(AboutCaption);
    ASSERT_NE(nullptr, about);
    PressKey(about, VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));

    ClickControl(dialog, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(log); }));
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    about = process.WaitForWindow(AboutCaption);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ("-----V", Looks());
    ClickControl(about, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_EQ("-----V", Looks()) << "the run goes on undisturbed";
    WriteFileBytes(hold, "");
    EXPECT_EQ(42, process.WaitForExit());
    EXPECT_TRUE(LeftInTemp().empty());
}

} // namespace
