// tests/install/install_test.cpp: whole install runs in processes of their own: the
// setup program's start in a folder of its own and its status, two runs at once, folders
// named in other scripts, the clean-up of that folder and of the stray directories at
// the drive root, and the runs that must start nothing.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>

#include "platform/portable/control.h"
#endif

#include "engine/install.h"
#include "engine/payload.h"
#include "platform/system.h"
#include "tests/install/install_runner.h"
#include "tests/support.h"
#include "ui/resource.h"

namespace fs = std::filesystem;

// The status the stand-in ends with: a real setup program's "done, restart needed", above
// 255 so that the whole code has to come through.
constexpr uint32_t SetupExitCode = 3010;

void ParseMessageBoxRecord(const std::string& record, const std::string& dialogOwner,
                           InstallOutcome& outcome) {
    const std::string header = "message box owner=";
    const std::string captionTag = " caption=";
    size_t lineEnd = record.find('\n');
    if (record.compare(0, header.size(), header) != 0 || lineEnd == std::string::npos) {
        EXPECT_EQ("", record) << "something else than a message box was recorded";
        return;
    }
    std::string line = record.substr(header.size(), lineEnd - header.size());
    size_t captionAt = line.find(captionTag);
    outcome.boxShown = true;
    outcome.boxOwnedByDialog = line.substr(0, captionAt) == dialogOwner;
    outcome.boxCaption = captionAt == std::string::npos ? "" : line.substr(captionAt + captionTag.size());
    outcome.boxText = record.substr(lineEnd + 1);
}

InstallOutcome RunInstaller(const std::string& installer, const std::string& workingDirectory,
                            const std::string& boxRecord) {
    CInstallerRun run;
    return run.Start(installer, workingDirectory, boxRecord) ? run.Finish() : InstallOutcome();
}

std::string ProgramBeside(const char* name) {
    fs::path program = fs::path(GetModulePath().GetString()).parent_path() / name;
#ifdef _WIN32
    program += ".exe";
#endif
    return program.string();
}

namespace {

// What the tests make at the drive root.
const char* const RootDirectories[] = {"%SystemRoot%", "%USERPROFILE%", "Expanded"};

std::string EntryFile(size_t entry) { return PayloadEntryTable[entry] + 1; }

std::string Join(const std::string& directory, const std::string& name) {
    return (fs::u8path(directory) / fs::u8path(name)).u8string();
}

// Six or seven entries: the setup program, then small texts that tell the runs apart.
std::vector<std::string> Payload(const std::string& setupProgram, const std::string& tag, size_t count = 6) {
    std::vector<std::string> entries = {setupProgram};
    for (size_t entry = 1; entry < count; ++entry) {
        entries.push_back(EntryFile(entry) + " of " + tag);
    }
    return entries;
}

// Puts back the variables a test changes: TEMP also decides where scratch directories go.
class SavedEnvironment {
  public:
    explicit SavedEnvironment(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const char* value = getenv(name);
            m_saved.push_back({name, value != nullptr, value != nullptr ? value : ""});
        }
    }
    ~SavedEnvironment() {
        for (const Variable& variable : m_saved) {
            if (variable.set) {
                SetEnv(variable.name, variable.value.c_str());
            } else {
                UnsetEnv(variable.name);
            }
        }
    }

  private:
    struct Variable {
        const char* name;
        bool set;
        std::string value;
    };
    std::vector<Variable> m_saved;
};

class InstallRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(MakeDirectory(temp));
        ASSERT_TRUE(MakeDirectory(elsewhere));
        root = PrepareDriveRoot(dir.path());
        SetEnv("TEMP", temp.c_str());
        SetEnv("windir", "C:\\Windows");
        SetEnv("SFX_STANDIN_RECORD", standinRecord.c_str());
        SetEnv("SFX_STANDIN_STATUS", std::to_string(SetupExitCode).c_str());
        UnsetEnv("SFX_STANDIN_LEAVE");
        UnsetEnv("SFX_STANDIN_WAIT");
    }

    // On Windows the drive root is the test prefix's own C:\, shared by every test.
    void TearDown() override {
        std::error_code ignored;
        for (const char* directory : RootDirectories) {
            fs::remove_all(Join(root, directory), ignored);
        }
        for (size_t entry = 0; entry < PayloadEntryCount; ++entry) {
            fs::remove(Join(root, EntryFile(entry)), ignored);
        }
    }

    std::string Installer(const std::vector<std::string>& entries) const {
        return InstallerStub() + BuildInstaller(0, "Kelvane Test", entries);
    }
    std::string Installer() const { return Installer(Payload(ReadFileBytes(standin), "this run")); }

    InstallOutcome Run(const std::string& image, const std::string& installer) {
        WriteFileBytes(installer, image);
        return RunInstaller(installer, elsewhere, dir / "box.txt");
    }
    InstallOutcome Run(const std::string& image) { return Run(image, dir / "setup kit.exe"); }

    StandinRecord Standin() const { return ReadStandinRecord(standinRecord); }

    // Files of another run under all seven names, with a setup program among them that
    // would run if started.
    void PlantForeignFiles() {
        for (size_t entry = 1; entry < PayloadEntryCount; ++entry) {
            WriteFileBytes(Join(temp, EntryFile(entry)), "another run's");
        }
        WriteFileBytes(Join(temp, EntryFile(0)), ReadFileBytes(standin));
        fs::permissions(Join(temp, EntryFile(0)), fs::perms::owner_exec, fs::perm_options::add);
    }

    // Every name in TEMP with the size of its content, to compare before and after a run.
    std::vector<std::string> TempState() const {
        std::vector<std::string> state;
        for (const std::string& name : ListDirectory(temp)) {
            state.push_back(name + ":" + std::to_string(ReadFileBytes(Join(temp, name)).size()));
        }
        return state;
    }

    // A run that must start nothing: the status, the user told why, no setup program run.
    void ExpectNothingStarted(const InstallOutcome& outcome, int exitCode, const std::string& reason) const {
        EXPECT_TRUE(outcome.ended);
        EXPECT_EQ(AsHostExitCode(exitCode), outcome.exitCode);
        ASSERT_TRUE(outcome.boxShown);
        EXPECT_TRUE(outcome.boxOwnedByDialog);
        CString caption;
        caption.LoadString(IDS_CAPTION);
        EXPECT_STREQ(caption, outcome.boxCaption.c_str());
        EXPECT_NE(std::string::npos, outcome.boxText.find(reason)) << outcome.boxText;
        EXPECT_FALSE(Standin().found) << "a setup program was started";
    }

    SavedEnvironment environment{"TEMP", "windir", "USERPROFILE"};
    ScratchDir dir;
    std::string temp = dir / "temp";
    std::string elsewhere = dir / "elsewhere";
    std::string root;
    std::string standin = ProgramBeside("install_standin");
    std::string standinRecord = dir / "standin.txt";
};

// --- A normal run ---------------------------------------------------------------------

TEST_F(InstallRunTest, RunsTheSetupProgramInAFolderOfItsOwnAndEndsWithItsStatus) {
    PlantForeignFiles();
    const std::vector<std::string> before = TempState();
    // Deepest first: the whole empty %SystemRoot% tree goes; a directory holding a file
    // stays, and so does its parent. Names are literal: the expanded one is not touched.
    fs::create_directories(Join(root, "%SystemRoot%/Profiles/All Users/Desktop"));
    fs::create_directories(Join(root, "%USERPROFILE%/Desktop"));
    WriteFileBytes(Join(root, "%USERPROFILE%/Desktop/kept.txt"), "mine");
    fs::create_directories(Join(root, "Expanded/Desktop"));
    SetEnv("USERPROFILE", "C:\\Expanded");
    SetEnv("SFX_STANDIN_LEAVE", "knxl.dat");
    const std::vector<std::string> entries = Payload(ReadFileBytes(standin), "this run");

    InstallOutcome outcome = Run(Installer(entries));

    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(AsHostExitCode(SetupExitCode), outcome.exitCode);
    EXPECT_FALSE(outcome.boxShown) << outcome.boxText;
    StandinRecord setup = Standin();
    ExpectRanInOwnFolder(setup, temp, entries);
    ExpectEmptyCommandLine(setup, setup.directory + "\\Setup.exe");
    EXPECT_EQ("knxl.dat", setup.left) << "the stand-in left nothing for the clean-up to remove";
    EXPECT_EQ(before, TempState()) << "the run's folder is gone, another run's files untouched";
    EXPECT_FALSE(FileExists(Join(root, "%SystemRoot%")));
    EXPECT_TRUE(FileExists(Join(root, "%USERPROFILE%/Desktop/kept.txt")));
    EXPECT_TRUE(FileExists(Join(root, "Expanded/Desktop")));
}

TEST_F(InstallRunTest, WhatTheSetupProgramLeavesBesideItselfStaysInItsFolder) {
    SetEnv("SFX_STANDIN_LEAVE", "install.log");
    InstallOutcome outcome = Run(Installer());
    EXPECT_EQ(AsHostExitCode(SetupExitCode), outcome.exitCode);
    std::string folder = Standin().directory;
    EXPECT_EQ(std::vector<std::string>{fs::u8path(folder).filename().u8string()}, ListDirectory(temp));
    EXPECT_EQ(std::vector<std::string>{"install.log"}, ListDirectory(folder));
}

TEST_F(InstallRunTest, WithoutWindirTheStrayDirectoriesAreLookedForInTemp) {
    UnsetEnv("windir");
    fs::create_directories(Join(temp, "%SystemRoot%/Profiles/All Users/Desktop"));
    fs::create_directories(Join(temp, "%USERPROFILE%/Desktop"));
    fs::create_directories(Join(root, "%SystemRoot%"));

    InstallOutcome outcome = Run(Installer());

    EXPECT_EQ(AsHostExitCode(SetupExitCode), outcome.exitCode);
    EXPECT_TRUE(ListDirectory(temp).empty());
    EXPECT_TRUE(FileExists(Join(root, "%SystemRoot%")));
}

TEST_F(InstallRunTest, TwoInstallersAtOnceEachRunWithTheirOwnFiles) {
    PlantForeignFiles();
    const std::vector<std::string> before = TempState();
    std::string go = dir / "go";
    SetEnv("SFX_STANDIN_WAIT", go.c_str());
    struct Install {
        std::string tag;
        uint32_t status;
        std::vector<std::string> entries;
        std::string record;
        CInstallerRun run;
    } installs[2] = {{"first", 3010, {}, dir / "first.txt", {}},
                     {"second", 1641, {}, dir / "second.txt", {}}};
    for (Install& install : installs) {
        install.entries = Payload(ReadFileBytes(standin), install.tag, PayloadEntryCount);
        std::string installer = dir / (install.tag + ".exe");
        WriteFileBytes(installer, Installer(install.entries));
        SetEnv("SFX_STANDIN_RECORD", install.record.c_str());
        SetEnv("SFX_STANDIN_STATUS", std::to_string(install.status).c_str());
        ASSERT_TRUE(install.run.Start(installer, elsewhere, dir / (install.tag + "-box.txt")));
    }
    // Each setup program lingers until both have started.
    for (int waited = 0;
         waited < 30000 && !(FileExists(installs[0].record) && FileExists(installs[1].record));
         waited += 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    WriteFileBytes(go, "");

    for (Install& install : installs) {
        InstallOutcome outcome = install.run.Finish();
        EXPECT_EQ(AsHostExitCode(install.status), outcome.exitCode) << install.tag;
        EXPECT_FALSE(outcome.boxShown) << outcome.boxText;
        ExpectRanInOwnFolder(ReadStandinRecord(install.record), temp, install.entries);
    }
    EXPECT_EQ(before, TempState());
}

// --- Names outside the system code page -------------------------------------------------

TEST_F(InstallRunTest, InstallerAndTempInFoldersNamedInOtherScriptsInstall) {
    std::string installerFolder = dir / GreekName;
    temp = dir / CyrillicName;
    ASSERT_TRUE(MakeDirectory(installerFolder));
    ASSERT_TRUE(MakeDirectory(temp));
    SetEnv("TEMP", temp.c_str());
#ifdef _WIN32
    for (const char* name : {GreekName, CyrillicName}) {
        BOOL lost = FALSE;
        std::wstring wide = fs::u8path(name).wstring();
        char ansi[64];
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, ansi, sizeof ansi, nullptr,
                            &lost);
        ASSERT_TRUE(lost) << "the system code page writes " << name;
    }
#endif
    const std::vector<std::string> entries = Payload(ReadFileBytes(standin), "this run");

    InstallOutcome outcome = Run(Installer(entries), Join(installerFolder, "setup kit.exe"));

    EXPECT_EQ(AsHostExitCode(SetupExitCode), outcome.exitCode);
    EXPECT_FALSE(outcome.boxShown) << outcome.boxText;
    ExpectRanInOwnFolder(Standin(), temp, entries);
    EXPECT_TRUE(ListDirectory(temp).empty());
}

#ifndef _WIN32
// Wine, like Windows with short names on, always finds a short name; the portable
// backend can stand for a volume without them.
TEST_F(InstallRunTest, NamesWithoutAnyAnsiFormAreReportedAsSuch) {
    struct Case {
        const char* installerFolder;
        const char* tempFolder;
        const char* reason;
    } cases[] = {
        {GreekName, "plain", "this installer or of its folder"},
        {"plain", CyrillicName, "the TEMP folder"},
    };
    PortableSetAsciiCodePage(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string caseDir = dir / c.reason;
        temp = Join(caseDir, c.tempFolder);
        ASSERT_TRUE(fs::create_directories(fs::u8path(temp)));
        ASSERT_TRUE(MakeDirectory(Join(caseDir, c.installerFolder)));
        SetEnv("TEMP", temp.c_str());
        InstallOutcome outcome = Run(Installer(), Join(Join(caseDir, c.installerFolder), "setup.exe"));
        ExpectNothingStarted(outcome, ExitNameNotInCodePage, c.reason);
        EXPECT_EQ(std::string::npos, outcome.boxText.find("download")) << outcome.boxText;
        EXPECT_TRUE(ListDirectory(temp).empty());
    }
    PortableSetAsciiCodePage(false);
}
#endif

// --- Runs that start nothing ------------------------------------------------------------

TEST_F(InstallRunTest, TempThatCannotBeUsedStartsNothingAndWritesNothing) {
    std::string file = dir / "a file";
    WriteFileBytes(file, "not a folder");
    struct Case {
        bool set;
        std::string value;
        std::string named; // how the message names the folder
    } cases[] = {
        {false, "", "\n%TEMP%\n"},
        {true, file, "\n" + file + "\n"},
        {true, dir / "missing", "\n" + (dir / "missing") + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        if (c.set) {
            SetEnv("TEMP", c.value.c_str());
        } else {
            UnsetEnv("TEMP");
        }
        InstallOutcome outcome = Run(Installer());
        ExpectNothingStarted(outcome, ExitTempUnwritable, c.named);
        EXPECT_EQ("not a folder", ReadFileBytes(file));
        EXPECT_FALSE(FileExists(dir / "missing"));
        EXPECT_TRUE(ListDirectory(elsewhere).empty());
        for (size_t entry = 0; entry < PayloadEntryCount; ++entry) {
            EXPECT_FALSE(FileExists(Join(root, EntryFile(entry)))) << EntryFile(entry);
        }
    }
}

#ifndef _WIN32
// A Windows program can always read its own module file, so only the portable backend
// can take both the command line's file and the module away.
TEST_F(InstallRunTest, UnreadableInstallerStartsNothing) {
    PlantForeignFiles();
    const std::vector<std::string> before = TempState();
    InstallOutcome outcome = RunInstaller(dir / "gone.exe", elsewhere, dir / "box.txt");
    ExpectNothingStarted(outcome, ExitPackageInvalid, "damaged or incomplete");
    EXPECT_EQ(before, TempState());
}
#endif

#ifndef _WIN32
// A limit on the size of files, which the forked installer inherits, makes the writes
// of its setup program fail; the message box's record stays below it.
TEST_F(InstallRunTest, EntryThatCannotBeWrittenStartsNothingAndNamesTheFolder) {
    WriteFileBytes(dir / "setup kit.exe", Installer());
    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit = {4096, saved.rlim_max};
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
    InstallOutcome outcome = RunInstaller(dir / "setup kit.exe", elsewhere, dir / "box.txt");
    setrlimit(RLIMIT_FSIZE, &saved);
    ExpectNothingStarted(outcome, ExitTempUnwritable, "could not be written");
    EXPECT_NE(std::string::npos, outcome.boxText.find("\n" + temp + "\\KelvaneSetup-")) << outcome.boxText;
    EXPECT_TRUE(ListDirectory(temp).empty());
}
#endif

TEST_F(InstallRunTest, DamagedInstallerStartsNothingAndLeavesTempAsItWas) {
    std::string truncated = Installer();
    truncated.resize(truncated.size() - 5); // inside the length field of the sixth entry
    for (const std::string& image : {InstallerStub(), truncated}) {
        PlantForeignFiles();
        const std::vector<std::string> before = TempState();
        InstallOutcome outcome = Run(image);
        ExpectNothingStarted(outcome, ExitPackageInvalid, "damaged or incomplete");
        EXPECT_NE(std::string::npos, outcome.boxText.find("download the installer again"));
        EXPECT_EQ(before, TempState());
    }
}

TEST_F(InstallRunTest, SetupProgramThatCannotStartIsReported) {
    InstallOutcome outcome = Run(Installer(Payload("this is no program", "this run")));
    ExpectNothingStarted(outcome, ExitSetupNotStarted, "could not be started");
    EXPECT_NE(std::string::npos, outcome.boxText.find("Setup.exe")) << outcome.boxText;
    EXPECT_TRUE(ListDirectory(temp).empty());
}

} // namespace
