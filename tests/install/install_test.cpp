// tests/install/install_test.cpp: whole install runs in processes of their own: the
// setup program's start and status, the clean-up of TEMP and of the stray directories at
// the drive root, and the runs that must start nothing because the payload did not arrive.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "engine/install.h"
#include "engine/payload.h"
#include "platform/system.h"
#include "tests/install/install_runner.h"
#include "tests/support.h"

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

std::string EntryFile(int entry) { return PayloadEntryTable[entry] + 1; }

std::string Join(const std::string& directory, const std::string& name) {
    return (fs::path(directory) / name).string();
}

StandinRecord ReadStandinRecord(const std::string& path) {
    StandinRecord record;
    record.found = FileExists(path);
    std::istringstream lines(ReadFileBytes(path));
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        std::string key = line.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (key == "commandline") {
            record.commandLine = value;
        } else if (key == "directory") {
            record.directory = value;
        } else if (key == "argument") {
            record.arguments.push_back(value);
        } else if (key == "environment") {
            record.environment.push_back(value);
        } else if (key == "left") {
            record.left = value;
        }
    }
    return record;
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
    }

    // On Windows the drive root is the test prefix's own C:\, shared by every test.
    void TearDown() override {
        std::error_code ignored;
        for (const char* directory : RootDirectories) {
            fs::remove_all(Join(root, directory), ignored);
        }
        for (int entry = 0; entry < PayloadEntryCount; ++entry) {
            fs::remove(Join(root, EntryFile(entry)), ignored);
        }
    }

    // An installer of six entries, the first the setup stand-in unless told otherwise.
    std::string Installer(const std::string& setupProgram) const {
        return InstallerStub() +
               BuildInstaller(0, "Kelvane Test", {setupProgram, "jar", "aux", "cls", "f", "r"});
    }
    std::string Installer() const { return Installer(ReadFileBytes(standin)); }

    InstallOutcome Run(const std::string& image) {
        std::string installer = dir / "setup kit.exe";
        WriteFileBytes(installer, image);
        return RunInstaller(installer, elsewhere, dir / "box.txt");
    }

    StandinRecord Standin() const { return ReadStandinRecord(standinRecord); }

    // Leftovers of an earlier run under all seven names, with a setup program among them
    // that would run if started.
    void PlantLeftovers() {
        for (int entry = 1; entry < PayloadEntryCount; ++entry) {
            WriteFileBytes(Join(temp, EntryFile(entry)), "left over");
        }
        fs::path setup = fs::path(temp) / EntryFile(0);
        fs::copy_file(standin, setup, fs::copy_options::overwrite_existing);
        fs::permissions(setup, fs::perms::owner_exec, fs::perm_options::add);
    }

    void ExpectEntryNamesGone(const std::string& directory) const {
        for (int entry = 0; entry < PayloadEntryCount; ++entry) {
            EXPECT_FALSE(FileExists(Join(directory, EntryFile(entry)))) << EntryFile(entry);
        }
    }

    // A run that must start nothing: the status, the user told why, the planted setup
    // program not run.
    void ExpectNothingStarted(const InstallOutcome& outcome, int exitCode, const std::string& reason) const {
        EXPECT_TRUE(outcome.ended);
        EXPECT_EQ(AsHostExitCode(exitCode), outcome.exitCode);
        ASSERT_TRUE(outcome.boxShown);
        EXPECT_TRUE(outcome.boxOwnedByDialog);
        EXPECT_EQ(InstallerCaption, outcome.boxCaption);
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

TEST_F(InstallRunTest, RunsTheSetupProgramInTempAndEndsWithItsStatus) {
    // Deepest first: the whole empty %SystemRoot% tree goes; a directory holding a file
    // stays, and so does its parent. Names are literal: the expanded one is not touched.
    fs::create_directories(Join(root, "%SystemRoot%/Profiles/All Users/Desktop"));
    fs::create_directories(Join(root, "%USERPROFILE%/Desktop"));
    WriteFileBytes(Join(root, "%USERPROFILE%/Desktop/kept.txt"), "mine");
    fs::create_directories(Join(root, "Expanded/Desktop"));
    SetEnv("USERPROFILE", "C:\\Expanded");
    SetEnv("SFX_STANDIN_LEAVE", "knxl.dat");

    InstallOutcome outcome = Run(Installer());

    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(AsHostExitCode(SetupExitCode), outcome.exitCode);
    EXPECT_FALSE(outcome.boxShown) << outcome.boxText;
    StandinRecord setup = Standin();
    ASSERT_TRUE(setup.found) << "the setup program did not run";
    EXPECT_TRUE(SamePath(temp, setup.directory)) << setup.directory;
    ExpectEmptyCommandLine(setup, temp + "\\Setup.exe");
    EXPECT_NE(setup.environment.end(),
              std::find(setup.environment.begin(), setup.environment.end(), "TEMP=" + temp));
    EXPECT_EQ("knxl.dat", setup.left) << "the stand-in left nothing for the clean-up to remove";
    ExpectEntryNamesGone(temp);
    EXPECT_FALSE(FileExists(Join(root, "%SystemRoot%")));
    EXPECT_TRUE(FileExists(Join(root, "%USERPROFILE%/Desktop/kept.txt")));
    EXPECT_TRUE(FileExists(Join(root, "Expanded/Desktop")));
}

TEST_F(InstallRunTest, WithoutWindirTheStrayDirectoriesAreLookedForInTemp) {
    UnsetEnv("windir");
    fs::create_directories(Join(temp, "%SystemRoot%/Profiles/All Users/Desktop"));
    fs::create_directories(Join(temp, "%USERPROFILE%/Desktop"));
    fs::create_directories(Join(root, "%SystemRoot%"));

    InstallOutcome outcome = Run(Installer());

    EXPECT_EQ(AsHostExitCode(SetupExitCode), outcome.exitCode);
    EXPECT_FALSE(FileExists(Join(temp, "%SystemRoot%")));
    EXPECT_FALSE(FileExists(Join(temp, "%USERPROFILE%")));
    EXPECT_TRUE(FileExists(Join(root, "%SystemRoot%")));
    ExpectEntryNamesGone(temp);
}

TEST_F(InstallRunTest, WithoutTempTheSetupProgramRunsFromTheDriveRootWhereTheInstallerStarted) {
    UnsetEnv("TEMP");

    InstallOutcome outcome = Run(Installer());

    EXPECT_EQ(AsHostExitCode(SetupExitCode), outcome.exitCode);
    EXPECT_FALSE(outcome.boxShown) << outcome.boxText;
    StandinRecord setup = Standin();
    ASSERT_TRUE(setup.found) << "the setup program did not run";
    EXPECT_TRUE(SamePath(elsewhere, setup.directory)) << setup.directory;
    ExpectEmptyCommandLine(setup, "\\Setup.exe");
    ExpectEntryNamesGone(root);
}

// --- Runs that start nothing ------------------------------------------------------------

#ifndef _WIN32
// A Windows program can always read its own module file, so only the portable backend
// can take both the command line's file and the module away.
TEST_F(InstallRunTest, UnreadableInstallerStartsNothing) {
    PlantLeftovers();
    InstallOutcome outcome = RunInstaller(dir / "gone.exe", elsewhere, dir / "box.txt");
    ExpectNothingStarted(outcome, ExitPackageInvalid, "damaged or incomplete");
    ExpectEntryNamesGone(temp);
}
#endif

TEST_F(InstallRunTest, InstallerWithoutPayloadStartsNothing) {
    PlantLeftovers();
    InstallOutcome outcome = Run(InstallerStub());
    ExpectNothingStarted(outcome, ExitPackageInvalid, "damaged or incomplete");
    EXPECT_NE(std::string::npos, outcome.boxText.find("download the installer again"));
    ExpectEntryNamesGone(temp);
}

TEST_F(InstallRunTest, TruncatedInstallerStartsNothingEvenWithItsSetupProgramWhole) {
    std::string image = Installer();
    image.resize(image.size() - 5); // inside the length field of the sixth entry
    InstallOutcome outcome = Run(image);
    ExpectNothingStarted(outcome, ExitPackageInvalid, "damaged or incomplete");
    ExpectEntryNamesGone(temp);
}

TEST_F(InstallRunTest, UnwritableEntryStartsNothingAndNamesTheFolder) {
    ASSERT_TRUE(MakeDirectory(Join(temp, "setup.aux")));
    InstallOutcome outcome = Run(Installer());
    ExpectNothingStarted(outcome, ExitTempUnwritable, "\n" + temp + "\n");
    for (int entry : {0, 1, 3, 4, 5, 6}) {
        EXPECT_FALSE(FileExists(Join(temp, EntryFile(entry)))) << EntryFile(entry);
    }
}

TEST_F(InstallRunTest, SetupProgramThatCannotStartIsReported) {
    InstallOutcome outcome = Run(Installer("this is no program"));
    ExpectNothingStarted(outcome, ExitSetupNotStarted, "could not be started");
    EXPECT_NE(std::string::npos, outcome.boxText.find("Setup.exe")) << outcome.boxText;
    ExpectEntryNamesGone(temp);
}

} // namespace
