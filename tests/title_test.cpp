// tests/title_test.cpp: the title the main dialog shows, read from the installer file.
#include <gtest/gtest.h>

#include "engine/payload.h"
#include "tests/support.h"

#ifndef _WIN32
#include "platform/portable/control.h"
#include "platform/system.h"
#endif

namespace {

constexpr size_t TestStub = 3000;

std::string TitleOf(const std::string& image, size_t stubLength = TestStub) {
    ScratchDir dir;
    WriteFileBytes(dir / "setup.exe", image);
    CFileStream stream;
    EXPECT_TRUE(stream.Open((dir / "setup.exe").c_str(), CFileStream::modeRead));
    CString title = ReadInstallTitle(stream, static_cast<int32_t>(stubLength));
    return std::string(title.GetString(), title.GetLength());
}

TEST(InstallTitle, IsTheFortyBytesAfterTheStubUntrimmed) {
    std::string padded = "Kelvane Suite" + std::string(27, ' ');
    EXPECT_EQ(padded, TitleOf(BuildInstaller(TestStub, padded, {"x"})));

    std::string full(40, 'T');
    EXPECT_EQ(full, TitleOf(BuildInstaller(TestStub, full, {})));

    std::string withZero = std::string("Kelvane\0Suite", 13) + std::string(27, ' ');
    EXPECT_EQ(withZero, TitleOf(BuildInstaller(TestStub, withZero, {})));
}

TEST(InstallTitle, AFileOfExactlyTheStubLengthHasNoInstallData) {
    EXPECT_EQ("NO INSTALL DATA FOUND", TitleOf(PatternBytes(TestStub, 1)));
}

TEST(InstallTitle, BytesBeyondTheEndReadAsBlanks) {
    // Longer than the stub but too short for the title; and shorter than the stub.
    EXPECT_EQ("Kelv" + std::string(36, ' '), TitleOf(PatternBytes(TestStub, 1) + "Kelv"));
    EXPECT_EQ(std::string(40, ' '), TitleOf(PatternBytes(TestStub - 1, 1)));
}

TEST(InstallTitle, ASignedFileEndsItsTitleAtTheCertificateTable) {
    // A signed stub without payload: its padding is no title.
    for (size_t length : {TestStub, TestStub + 1, TestStub + 7}) {
        std::string bareStub = PeStub(length, false);
        AppendCertificateTable(bareStub, 800);
        EXPECT_EQ("NO INSTALL DATA FOUND", TitleOf(bareStub, length)) << length;
    }
    std::string cut = PeStub(TestStub, false) + "Kelvane!"; // no padding needed
    AppendCertificateTable(cut, 800);
    EXPECT_EQ("Kelvane!" + std::string(32, ' '), TitleOf(cut)) << "the table is not shown";
}

#ifndef _WIN32
// The whole road from the command line, on the portable backend whose command line and
// module path the test sets.
class ProgramFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string title = "Portable Title" + std::string(26, ' ');
        WriteFileBytes(dir / "setup.exe", BuildInstaller(StubLength, title, {"data"}));
        PortableSetModulePath((dir / "missing.exe").c_str());
    }
    void TearDown() override {
        PortableSetCommandLine("");
        PortableSetModulePath("/proc/self/exe");
    }
    ScratchDir dir;
};

TEST_F(ProgramFileTest, TitleComesFromTheFileTheCommandLineNames) {
    PortableSetCommandLine(("\"" + (dir / "setup.exe") + "\" /S").c_str());
    EXPECT_STREQ((dir / "setup.exe").c_str(), GetProgramPath());
    EXPECT_STREQ(("Portable Title" + std::string(26, ' ')).c_str(), GetInstallTitle());
}

TEST_F(ProgramFileTest, UnopenablePathFallsBackToTheModuleFile) {
    PortableSetCommandLine((dir / "setup").c_str()); // typed without ".exe"
    PortableSetModulePath((dir / "setup.exe").c_str());
    EXPECT_STREQ(("Portable Title" + std::string(26, ' ')).c_str(), GetInstallTitle());
}

TEST_F(ProgramFileTest, NeitherPathOpensGivesUnknown) {
    PortableSetCommandLine(" leading-blank.exe");
    EXPECT_STREQ("UNKNOWN", GetInstallTitle());
    PortableSetCommandLine("\"no closing quote.exe");
    EXPECT_STREQ("UNKNOWN", GetInstallTitle());
}

TEST_F(ProgramFileTest, StubWithoutPayloadHasNoInstallData) {
    WriteFileBytes(dir / "stub.exe", PatternBytes(StubLength, 3));
    PortableSetCommandLine((dir / "stub.exe").c_str());
    EXPECT_STREQ("NO INSTALL DATA FOUND", GetInstallTitle());
}
#endif

} // namespace
