// tests/install/shell_execute_test.cpp: the shell's way of starting the setup program,
// taken when it asks for administrator rights. Wine never asks for them, so the install
// runs cannot reach it; it is tried directly here.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/install/install_runner.h"
#include "tests/support.h"

namespace {

TEST(ShellExecuteTest, StartsTheProgramWaitsAndDeliversItsStatus) {
    ScratchDir dir;
    std::string record = dir / "standin.txt";
    SetEnv("SFX_STANDIN_RECORD", record.c_str());
    SetEnv("SFX_STANDIN_STATUS", "1641");
    DWORD exitCode = 0;
    ASSERT_TRUE(ShellExecuteAndWait(ProgramBeside("install_standin").c_str(), exitCode));
    EXPECT_EQ(1641u, exitCode);
    EXPECT_TRUE(FileExists(record));
}

TEST(ShellExecuteTest, MissingProgramIsNotStarted) {
    ScratchDir dir;
    DWORD exitCode = 0;
    EXPECT_FALSE(ShellExecuteAndWait((dir / "missing.exe").c_str(), exitCode));
}

} // namespace
