// tests/ui/installer_fixture.h: launch the installer, read what the setup stand-in wrote down.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <regex>
#include <sstream>

#include "engine/install.h"
#include "engine/payload.h"
#include "tests/support.h"
#include "tools/windriver/driver.h"
#include "ui/resource.h"

inline std::string Built(const char* name) { return getenv(name) != nullptr ? getenv(name) : ""; }

inline const int MessageTextId = 0xFFFF; // a message box's text
// Wine takes DLL overrides for a program from the registry, not from its environment.
inline const char OverridesKey[] = "Software\\Wine\\AppDefaults\\installer.exe";

// As Windows does for DLLs not among the known ones, Wine takes them from beside the program first.
inline void OverrideDlls(const std::vector<std::string>& dlls, const char* how,
                         const std::string& plantIn = "") {
    for (const std::string& dll : dlls) {
        ASSERT_TRUE(plantIn.empty() || CopyFileA(Built("SFX_PLANTED_DLL").c_str(),
                                                 (plantIn + "\\" + dll + ".dll").c_str(), FALSE));
        RegSetKeyValueA(HKEY_CURRENT_USER, (OverridesKey + std::string("\\DllOverrides")).c_str(),
                        dll.c_str(), REG_SZ, how, static_cast<DWORD>(strlen(how) + 1));
    }
}

inline bool SamePath(const std::string& left, const std::string& right) {
    return lstrcmpiA(left.c_str(), right.c_str()) == 0;
}

// What setup_standin.cpp wrote down: a "directory" per run.
using StandinRecord = std::map<std::string, std::vector<std::string>>;

inline StandinRecord ReadStandinRecord(const std::string& path) {
    StandinRecord record;
    std::istringstream lines(ReadFileBytes(path));
    for (std::string line; std::getline(lines, line);) {
        record[line.substr(0, line.find('='))].push_back(line.substr(line.find('=') + 1));
    }
    return record;
}

// Until the stand-in's rename lets go of its record, the file exists but cannot be read.
inline StandinRecord WaitForRecord(const std::string& path) {
    StandinRecord record;
    EXPECT_TRUE(WaitUntil([&] { return !(record = ReadStandinRecord(path))["directory"].empty(); })) << path;
    return record;
}

inline void ExpectRunsInOwnFolder(StandinRecord setup, const std::string& temp,
                                  const std::vector<std::string>& entries) {
    ASSERT_EQ(1u, setup["directory"].size()) << "the setup program should run once";
    const std::string folder = setup["directory"][0];
    EXPECT_TRUE(SamePath(temp, folder.substr(0, folder.rfind('\\')))) << folder;
    EXPECT_TRUE(SamePath(folder, setup["temp"][0]) && SamePath(folder, setup["tmp"][0]));
    // Windows passes the empty text; Wine the program's path in quotes.
    EXPECT_TRUE(
        std::regex_match(setup["commandline"][0], std::regex(R"(("[^"]*\\Setup\.exe")?)", std::regex::icase)))
        << setup["commandline"][0];
    EXPECT_TRUE(EntryFiles(entries) == ReadDirectory(folder)) << "not exactly the entries beside it";
}

class InstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(MakeDirectory(temp));
        SetVariable("TEMP", temp);
        SetVariable("SFX_STANDIN_RECORD", record);
        SetVariable("SFX_STANDIN_WAIT", release);
        SetVariable("SFX_STANDIN_STATUS", "42");
        SetVariable("SFX_STANDIN_LEAVE", "");
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, OverridesKey); }

    // Without an image, the program the command line names runs in place: one too large to copy.
    void Launch(
        const std::string& image, const std::function<void()>& beforeRun = [] {},
        std::string commandLine = "") {
        WriteFileBytes(installer, image);
        commandLine = commandLine.empty() ? "\"" + installer + "\"" : commandLine;
        ASSERT_TRUE(process.Start(commandLine, dir.path(), true, image.empty() ? "" : installer, limited));
        beforeRun();
        process.Resume();
        dialog = process.WaitForWindow(InstallerCaption);
        ASSERT_NE(nullptr, dialog);
    }

    long Release() {
        WriteFileBytes(release, "");
        const long status = process.WaitForExit();
        DeleteFileA(release.c_str());
        return status;
    }

    std::string Installer(const std::vector<std::string>& entries) const {
        return BuildInstaller(stub, "Kelvane Studio", entries);
    }
    std::vector<std::string> Payload() const { return {setup, "jar", "aux", "", "f", "r"}; }

    std::string Signed(const std::string& name) const { return Built("SFX_SIGNED") + "\\" + name; }
    std::vector<std::string> SignedEntries(const std::string& name) const {
        std::vector<std::string> entries;
        for (int k = 0; k < PayloadEntryCount; ++k) {
            const std::string input = Signed(name + "\\input" + std::to_string(k + 1));
            if (FileExists(input) || k < RequiredEntryCount) {
                entries.push_back(ReadFileBytes(input));
            }
        }
        return entries;
    }

    // Which buttons are enabled; which of the web address, the bar and the status text shows.
    std::string Looks() const {
        std::string looks;
        for (int id : {IDOK, IDCANCEL, IDC_ABOUT}) {
            looks += IsWindowEnabled(GetDlgItem(dialog, id)) ? "E" : "-";
        }
        for (int id : {IDC_HOMEPAGE, IDC_PROGRESS, IDC_STATUS}) {
            looks += IsWindowVisible(GetDlgItem(dialog, id)) ? "V" : "-";
        }
        return looks;
    }

    std::string CloseAbout(int closeBy) {
        HWND about = process.WaitForWindow(AboutCaption);
        std::string size = about != nullptr ? ControlText(about, IDC_SIZE) : "no About box";
        EXPECT_TRUE(GetWindow(about, GW_OWNER) == dialog && !IsWindowEnabled(dialog))
            << "About not modal over it";
        closeBy == VK_ESCAPE ? PressKey(about, VK_ESCAPE) : ClickControl(about, closeBy);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
        return size;
    }

    ScratchDir dir;
    std::string temp = dir / "temp";
    std::string installer = dir / "installer.exe";
    std::string record = dir / "setup.txt";
    std::string release = dir / "release-setup";
    std::string stub = ReadFileBytes(Built("SFX_STUB"));
    std::string setup = ReadFileBytes(Built("SFX_SETUP"));
    CInstallerProcess process;
    HWND dialog = nullptr;
    bool limited = false; // the user's limited token instead of Wine's elevated one
};
