// tests/install/setup_start_test.cpp: the setup program's start on Windows, tried
// directly: held from its writing until its process exists, nobody can replace, rename
// or delete it, and it still starts, directly and through the shell, which the install
// runs cannot reach because Wine never asks for administrator rights.
#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/process.h"
#include "tests/install/install_runner.h"
#include "tests/support.h"

namespace {

class SetupStartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEnv("SFX_STANDIN_RECORD", record.c_str());
        SetEnv("SFX_STANDIN_STATUS", "1641");
        UnsetEnv("SFX_STANDIN_WAIT");
        UnsetEnv("SFX_STANDIN_LEAVE");
    }

    // Writes the stand-in to setup as the extraction does and holds it.
    void WriteHeld(CFileStream& held) {
        std::string bytes = ReadFileBytes(ProgramBeside("install_standin"));
        CFileStream writer;
        ASSERT_TRUE(writer.Open(setup.c_str(), CFileStream::modeWrite));
        ASSERT_TRUE(writer.Write(bytes.data(), bytes.size()));
        ASSERT_TRUE(writer.CloseAndHold(held));
        ASSERT_TRUE(held.IsOpen());
    }

    ScratchDir dir;
    std::string setup = dir / "Setup.exe";
    std::string other = dir / "other.exe";
    std::string record = dir / "standin.txt";
};

TEST_F(SetupStartTest, HeldSetupProgramCannotBeChangedButStartsBothWays) {
    CFileStream held;
    WriteHeld(held);
    WriteFileBytes(other, "a planted program");
    EXPECT_FALSE(DeleteFileA(setup.c_str()));
    EXPECT_FALSE(MoveFileExA(other.c_str(), setup.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(MoveFileA(setup.c_str(), (dir / "renamed.exe").c_str()));
    HANDLE writer =
        CreateFileA(setup.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);

    using Start = StartResult (*)(const char*, const char*, ProgramProcess&);
    for (Start start : {Start(StartProgram), Start(ShellExecuteProgram)}) {
        ProgramProcess process = 0;
        ASSERT_EQ(StartResult::Started, start(setup.c_str(), dir.path().c_str(), process));
        DWORD exitCode = 0;
        ASSERT_TRUE(WaitForProgram(process, exitCode));
        EXPECT_EQ(1641u, exitCode);
    }
    StandinRecord started = ReadStandinRecord(record);
    EXPECT_EQ(2, started.runs);
    EXPECT_TRUE(SamePath(dir.path(), started.directory)) << "the shell starts it in its folder too";

    held.Close();
    EXPECT_TRUE(DeleteFileA(setup.c_str())) << "the hold is over";
}

TEST_F(SetupStartTest, MissingProgramIsNotStarted) {
    ProgramProcess process = 0;
    EXPECT_EQ(StartResult::Failed, StartProgram(setup.c_str(), dir.path().c_str(), process));
    EXPECT_EQ(StartResult::Failed, ShellExecuteProgram(setup.c_str(), dir.path().c_str(), process));
}

} // namespace
