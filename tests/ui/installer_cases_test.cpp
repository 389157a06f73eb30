// tests/ui/installer_cases_test.cpp: the installer as a user meets it under Wine.
#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "engine/bounds.h"
#include "tests/ui/installer_fixture.h"

namespace {

// Measured in the font of a copy made here: another process's font handle means nothing here.
void ExpectEveryControlFits(HWND dialog, int id) {
    ASSERT_NE(nullptr, dialog);
    HMODULE module = LoadLibraryExA(Built("SFX_STUB").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HWND copy = CreateDialogParamA(module, MAKEINTRESOURCEA(id), nullptr, nullptr, 0);
    RECT client, copied, rect, needed;
    GetClientRect(dialog, &client);
    GetClientRect(copy, &copied);
    EXPECT_EQ(copied.right, client.right) << "not the same dialog units";
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(copy, WM_GETFONT, 0, 0)));
    int controls = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT), ++controls) {
        char className[32], text[512];
        GetClassNameA(control, className, sizeof className);
        GetWindowTextA(control, text, sizeof text);
        SCOPED_TRACE(std::to_string(GetDlgCtrlID(control)) + " " + text);
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= client.right &&
                    rect.bottom <= client.bottom);
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        const bool button = lstrcmpiA(className, "Button") == 0,
                   isStatic = lstrcmpiA(className, "Static") == 0;
        if (isStatic && (style & SS_TYPEMASK) == SS_BITMAP) {
            EXPECT_NE(0, SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0)) << "no bitmap";
        } else if (text[0] != '\0') {
            GetClientRect(control, &needed);
            const int frame = button ? 2 * (GetSystemMetrics(SM_CXEDGE) + 1) : 0;
            DrawTextA(dc, text, -1, &needed,
                      DT_CALCRECT | DT_EXPANDTABS | (button ? DT_SINGLELINE : DT_WORDBREAK) |
                          (isStatic && (style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0));
            GetClientRect(control, &rect);
            EXPECT_TRUE(needed.right + frame <= rect.right && needed.bottom + frame <= rect.bottom)
                << "no room";
        }
    }
    EXPECT_GE(controls, 10);
    DeleteDC(dc);
    DestroyWindow(copy);
}

// The system command opens About whatever its low four bits.
TEST_F(InstallerTest, ReadyAndAboutShowTheStoredTitleAndSizeInALayoutThatFitsAndCancelWritesNothing) {
    SetProcessDPIAware();
    InitCommonControls();
    ASSERT_EQ(Built("SFX_DPI").empty() ? 96 : atoi(Built("SFX_DPI").c_str()),
              GetDeviceCaps(GetDC(nullptr), LOGPIXELSY));
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
        // Moved away before it runs: neither its command line nor its module path opens.
        {Installer(Payload()), "UNKNOWN", "NO EXE FOUND!", false, VK_ESCAPE, VK_ESCAPE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        Launch(c.image, [&] { c.title != "UNKNOWN" || MoveFileA(installer.c_str(), (dir / "m").c_str()); });
        EXPECT_EQ("EEEV--", Looks());
        EXPECT_EQ(c.title, ControlText(dialog, IDC_PRODUCT));
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDC_PRODUCT), GWL_STYLE) & SS_NOPREFIX);
        ExpectEveryControlFits(dialog, IDD_SELFEXTRACT_DIALOG);
        if (c.bySystemMenu) {
            PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
        } else {
            ClickControl(dialog, IDC_ABOUT);
        }
        ExpectEveryControlFits(process.WaitForWindow(AboutCaption), IDD_ABOUTBOX);
        EXPECT_EQ(c.size.empty() ? std::to_string(c.image.size()) : c.size, CloseAbout(c.closeAboutBy));
        EXPECT_EQ("EEEV--", Looks()) << "back in Ready";
        c.closeBy == IDCANCEL ? ClickControl(dialog, IDCANCEL) : PressKey(dialog, VK_ESCAPE);
        EXPECT_EQ(ExitCancelled, process.WaitForExit());
    }
    EXPECT_TRUE(ListDirectory(temp).empty());
    EXPECT_FALSE(FileExists(record));
}

// Around a signed run: another run's file in TEMP, its first folder name taken, libraries planted,
// two entries held as the setup program ends (one until the clean-up found it held, one for good).
TEST_F(InstallerTest, InstallShowsProgressThenStatusRunsSetupOnceInAFolderOfItsOwnAndCleansUp) {
    WriteFileBytes(temp + "\\Setup.jar", "another run's");
    SetVariable("SFX_STANDIN_LEAVE", "1");
    SetVariable("SFX_STANDIN_STATUS", "3010");
    const std::vector<std::string> planted = {"comctl32", "uxtheme", "shell32", "shlwapi",
                                              "wintrust", "crypt32", "msasn1",  "imagehlp",
                                              "cryptnet", "cryptui", "bcrypt"};
    OverrideDlls(planted, "native,builtin", dir.path());
    std::string taken;
    Launch(ReadFileBytes(Signed("case-1\\installer.exe")), [&] {
        taken = "KelvaneSetup-" + std::to_string(process.id()) + "-0";
        MakeDirectory(temp + "\\" + taken);
        WriteFileBytes(temp + "\\" + taken + "\\knxl.dat", "planted");
    });
    ClickControl(dialog, IDC_ABOUT);
    CloseAbout(IDOK);
    ClickControl(dialog, IDOK);
    EXPECT_EQ("----V-", Looks()) << "buttons disabled, the bar in place of the web address";
    // A second Install or a Cancel sent during the extraction changes nothing.
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    std::set<LRESULT> positions;
    WaitUntil([&] {
        positions.insert(SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
        return IsWindowVisible(GetDlgItem(dialog, IDC_STATUS));
    });
    EXPECT_GE(positions.size(), 3u) << "the bar should move while the entries are copied";
    EXPECT_EQ("-----V", Looks()) << "the status text in place of the bar while setup runs";
    StandinRecord run = WaitForRecord(record);
    ExpectRunsInOwnFolder(run, temp, SignedEntries("case-1"));
    const std::string folder = run["directory"].at(0);
    OverrideDlls(planted, "native,builtin", folder);
    // No command sent now starts a second run or ends the dialog; a quit ends the modal loop only.
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    CloseAbout(IDOK);
    EXPECT_EQ("-----V", Looks()) << "the run goes on";
    PostMessageA(dialog, WM_QUIT, 0, 0);
    HANDLE scanned[2];
    for (int k = 0; k < 2; ++k) {
        scanned[k] = CreateFileA((folder + PayloadEntryTable[k + 1]).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    }
    WriteFileBytes(release, "");
    // Setup.exe goes first, in the pass that finds the others held.
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(folder + "\\Setup.exe"); }));
    CloseHandle(scanned[0]);
    EXPECT_EQ(3010, Release()) << "the setup program's status is the installer's, a restart's too";
    CloseHandle(scanned[1]);
    EXPECT_EQ(1u, ReadStandinRecord(record)["directory"].size()) << "the setup program should run once";
    // What it left under an entry's name goes, unless held; under a name of its own stays.
    const std::string name = std::filesystem::u8path(folder).filename().u8string();
    EXPECT_EQ((std::vector<std::string>{taken, name, "Setup.jar"}), ListDirectory(temp));
    std::vector<std::string> left = {"install.log", PayloadEntryTable[2] + 1};
    for (const std::string& dll : planted) {
        left.push_back(dll + ".dll");
        EXPECT_FALSE(FileExists(dir / (dll + ".dll.loaded")));
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, ListDirectory(folder));
}

// An installer started under its own name runs its own payload, or tells before any window why not.
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
    const size_t checksum = ReadLittleEndian(reinterpret_cast<const unsigned char*>(&good[0x3C]), 4) + 88;
    // Sealed: a payload not its own would be refused, but only after the click.
    const std::string sealed = WithSealedDigest(Installer(Payload()), stub.size()), moved = dir / "moved.exe";
    const std::vector<std::string> payload = Payload(), none;
    WriteFileBytes(dir / "other.exe",
                   BuildInstaller(stub, "Other", {"not the setup program", "x", "", "", "", ""}));
    HANDLE holder = nullptr;
    auto Hold = [&] {
        holder = CreateFileA(installer.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    const InstallerCase cases[] = {
        {"TEMP at its longest", Installer(payload), 42, "", payload, longest},
        {"signed, its checksum changed", FlipBit(good, checksum, 5), 42, "", SignedEntries("case-1")},
        {"signed, a stub byte", FlipBit(good, 0x4E, 5), ExitPackageInvalid, "download the installer again"},
        // Checked as intact, the run gets as far as TEMP.
        {"signed, near the 2 GiB limit, TEMP unset", "", ExitTempUnwritable, "\n%TEMP%\n", none, "unset",
         [] {}, false, "\"" + Signed("case-large\\installer.exe") + "\""},
        {"TEMP missing", Installer(payload), ExitTempUnwritable, "\n" + (dir / "m") + "\n", none, dir / "m"},
        // Loaded, it would leave Setup.exe.loaded in the run's folder.
        {"Setup.exe a DLL", Installer({ReadFileBytes(Built("SFX_PLANTED_DLL")), "jar", "", "", "", ""}),
         ExitPlatformUnsupported,
         "\\Setup.exe\n\nThis installer's setup program cannot run on this computer."},
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
        HWND box = c.boxFirst ? dialog : nullptr;
        if (!c.boxFirst) {
            ClickControl(dialog, IDOK);
            if (c.message.empty()) {
                ExpectRunsInOwnFolder(WaitForRecord(record), runsIn, c.entries);
                EXPECT_EQ(c.status, Release());
                DeleteFileA(record.c_str());
            } else {
                box = process.WaitForWindow(InstallerCaption, dialog);
                EXPECT_EQ(dialog, GetWindow(box, GW_OWNER)) << "the box stays in front of the window";
            }
        }
        const std::string text = ControlText(box, MessageTextId);
        if (box != nullptr) {
            PressKey(box, VK_RETURN);
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

} // namespace
