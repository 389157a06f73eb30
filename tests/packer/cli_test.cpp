// tests/packer/cli_test.cpp: the sfxpack program as a user meets it: exit statuses,
// messages on standard error, help and the listing.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/packer/packer_support.h"

namespace {

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(WriteSealedStub(dir / "stub.exe", 1000).empty());
        WriteFileBytes(dir / "setup", PatternBytes(300, 1));
        WriteFileBytes(dir / "jar", PatternBytes(200, 2));
        WriteFileBytes(dir / "aux", PatternBytes(5000, 3));
    }

    ProgramRun BuildThree() {
        return RunSfxpack({"build", "--stub", dir / "stub.exe", "--title=Kelvane Pro", "-o", installer,
                           dir / "setup", dir / "jar", dir / "aux"});
    }

    ScratchDir dir;
    // A host file name may hold a backslash; it must not be taken for a Windows separator.
    const std::string installer = dir / "kit\\installer.exe";
};

TEST_F(CliTest, RoundTripThroughTheProgram) {
    ProgramRun build = BuildThree();
    ASSERT_EQ(0, build.status) << build.err;
    EXPECT_EQ("", build.out + build.err) << "a successful build is silent";

    ProgramRun verify = RunSfxpack({"verify", installer});
    EXPECT_EQ(0, verify.status);
    EXPECT_EQ("", verify.out + verify.err);

    ProgramRun list = RunSfxpack({"list", installer});
    EXPECT_EQ(0, list.status) << list.err;
    EXPECT_EQ("stub length  1000\n"
              "signature    none\n"
              "title        \"Kelvane Pro                             \"\n"
              "entry  name           offset      length\n"
              "    1  Setup.exe        1050         300\n"
              "    2  Setup.jar        1360         200\n"
              "    3  setup.aux        1570        5000\n"
              "    4  setup.cls        6580           0\n"
              "    5  knxf.dat         6590           0\n"
              "    6  knxr.dat         6600           0\n",
              list.out);
    ProgramRun json = RunSfxpack({"list", "--json", installer});
    EXPECT_EQ(0, json.status);
    EXPECT_NE(std::string::npos, json.out.find("\"title\": \"Kelvane Pro                             \""));
    EXPECT_NE(std::string::npos,
              json.out.find("{\"number\": 3, \"name\": \"setup.aux\", \"offset\": 1570, \"length\": 5000, "
                            "\"available\": 5000}"));
    EXPECT_NE(std::string::npos, json.out.find("\"complete\": true"));

    ProgramRun extract = RunSfxpack({"extract", installer, "-C", dir / "out"});
    EXPECT_EQ(0, extract.status) << extract.err;
    EXPECT_EQ("", extract.err) << "no progress bar when standard error is no terminal";
    EXPECT_EQ(ReadFileBytes(dir / "aux"), ReadFileBytes(dir / "out/setup.aux"));
}

TEST_F(CliTest, DamageIsOneLineNamingTheEntryAndStatusTwo) {
    ASSERT_EQ(0, BuildThree().status);
    WriteFileBytes(installer, ReadFileBytes(installer).substr(0, 1570 + 1200));
    ProgramRun verify = RunSfxpack({"verify", installer});
    EXPECT_EQ(2, verify.status);
    EXPECT_EQ("sfxpack: " + installer +
                  ": entry 3 (setup.aux) declares 5000 bytes but the file ends after 1200\n",
              verify.err);
    ProgramRun list = RunSfxpack({"list", installer});
    EXPECT_EQ(2, list.status);
    EXPECT_NE(std::string::npos, list.out.find("5000  (only 1200 present)"));

    ProgramRun extract = RunSfxpack({"extract", installer, "-C", dir / "out"});
    EXPECT_EQ(2, extract.status);
    EXPECT_FALSE(FileExists(dir / "out"));
    ProgramRun forced = RunSfxpack({"extract", "--force", installer, "-C", dir / "out"});
    EXPECT_EQ(0, forced.status);
    EXPECT_EQ(0u, forced.err.find("sfxpack: warning: ")) << forced.err;
    EXPECT_EQ(1200u, ReadFileBytes(dir / "out/setup.aux").size());
}

TEST_F(CliTest, StubLengthOptionReadsInstallersWithoutASeal) {
    WriteFileBytes(dir / "raw.exe", PatternBytes(35328, 4));
    ProgramRun build =
        RunSfxpack({"build", "--raw-stub", "-s", dir / "raw.exe", "-t", "T", "-o", installer, dir / "setup"});
    ASSERT_EQ(0, build.status) << build.err;
    ProgramRun unsealed = RunSfxpack({"verify", installer});
    EXPECT_EQ(2, unsealed.status);
    EXPECT_NE(std::string::npos, unsealed.err.find("--stub-length N (35328 for the classic stub)"))
        << unsealed.err;
    EXPECT_EQ(0, RunSfxpack({"verify", "--stub-length", "35328", installer}).status);
    EXPECT_EQ(2, RunSfxpack({"verify", "--stub-length=35000", installer}).status);
}

TEST_F(CliTest, UsageErrorsAreStatusOneAndPointToHelp) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "sfxpack: no command given\n"},
        {{"pack"}, "sfxpack: unknown command 'pack'\n"},
        {{"build", "--stub", "s", "-o", "x", "f"},
         "sfxpack: build: --stub, --title and --output are required\n"},
        {{"build", "-s", "s", "-t", "t", "-o", "x"}, "sfxpack: build: give one to 7 files, not 0\n"},
        {{"build", "-s", "s", "-t", "t", "-o", "x", "1", "2", "3", "4", "5", "6", "7", "8"},
         "sfxpack: build: give one to 7 files, not 8\n"},
        {{"build", "--codepage", "cp1252"},
         "sfxpack: build: --codepage wants a Windows code page number, not 'cp1252'\n"},
        {{"list", "--jsn", "x"}, "sfxpack: list: unknown option '--jsn'\n"},
        {{"verify", "a", "b"}, "sfxpack: verify: unexpected argument 'b'\n"},
        {{"extract", "-C"}, "sfxpack: extract: option '-C' needs a value\n"},
        {{"seal"}, "sfxpack: seal: no stub given\n"},
    };
    for (const Case& c : cases) {
        ProgramRun run = RunSfxpack(c.args);
        EXPECT_EQ(1, run.status) << c.message;
        EXPECT_EQ(0u, run.err.find(c.message)) << run.err;
        EXPECT_NE(std::string::npos, run.err.find("Try 'sfxpack")) << run.err;
        EXPECT_EQ("", run.out);
    }
}

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
    for (const char* command : {"build", "list", "verify", "extract", "seal"}) {
        ProgramRun help = RunSfxpack({command, "--help"});
        EXPECT_EQ(0, help.status);
        EXPECT_EQ(0u, help.out.find(std::string("Usage: sfxpack ") + command + " ")) << help.out;
        EXPECT_EQ("", help.err);
    }
    ProgramRun help = RunSfxpack({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("Exit status:"));
    ProgramRun version = RunSfxpack({"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ(0u, version.out.find("sfxpack 1."));
}

TEST_F(CliTest, IoFailuresAreStatusThree) {
    ProgramRun missing = RunSfxpack({"verify", dir / "absent.exe"});
    EXPECT_EQ(3, missing.status);
    EXPECT_EQ("sfxpack: " + (dir / "absent.exe") + ": No such file or directory\n", missing.err);
    ASSERT_EQ(0, BuildThree().status);
    ProgramRun unwritable =
        RunSfxpack({"build", "-s", dir / "stub.exe", "-t", "T", "-o", dir / "no/dir/x.exe", dir / "jar"});
    EXPECT_EQ(3, unwritable.status);
    EXPECT_EQ(0u, unwritable.err.find("sfxpack: " + (dir / "no/dir/x.exe") + ": cannot create"))
        << unwritable.err;
    // A device or pipe is not replaced by the installer renamed into place.
    ASSERT_EQ(0, mkfifo((dir / "pipe").c_str(), 0600));
    EXPECT_EQ(
        3, RunSfxpack({"build", "-s", dir / "stub.exe", "-t", "T", "-o", dir / "pipe", dir / "jar"}).status);
    struct stat info;
    EXPECT_TRUE(stat((dir / "pipe").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
}

} // namespace
