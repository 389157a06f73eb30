// tests/extract_portable_test.cpp: the installer's own extraction as the stub calls it,
// on the portable backend, where the test sets the command line and the drive root: the
// program file from the command line, the setup program held; and a hold that finds
// bytes another program wrote, which POSIX, unlike Windows, lets happen.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/payload.h"
#include "platform/portable/control.h"
#include "tests/support.h"

namespace {

class InstallerExtractTest : public ::testing::Test {
  protected:
    InstallerExtractTest() : progress(true), status(false) {}

    void SetUp() override {
        ASSERT_TRUE(MakeDirectory(dir / "temp"));
        ASSERT_TRUE(MakeDirectory(dir / "root"));
        PortableSetDriveRoot((dir / "root").c_str());
        PortableSetModulePath((dir / "no-module").c_str());
    }
    void TearDown() override {
        PortableSetDriveRoot("");
        PortableSetCommandLine("");
        PortableSetModulePath("/proc/self/exe");
    }

    ExtractResult RunInstaller(const std::string& image) {
        WriteFileBytes(dir / "setup kit.exe", image);
        PortableSetCommandLine(("\"" + (dir / "setup kit.exe") + "\" /quiet").c_str());
        CWnd progressWnd = CWnd::FromHandle(progress.handle());
        CWnd statusWnd = CWnd::FromHandle(status.handle());
        return ExtractPayload(progressWnd, statusWnd, (dir / "temp").c_str(), setupHold);
    }

    ScratchDir dir;
    CFileStream setupHold;
    RecordingWindow progress;
    RecordingWindow status;
    std::vector<std::string> entries{"setup program", "jar", "aux", "cls", "f", "r"};
};

TEST_F(InstallerExtractTest, ExtractsItsOwnPayloadAndHoldsTheSetupProgram) {
    EXPECT_EQ(ExtractResult::Complete, RunInstaller(BuildInstaller(StubLength, "Title", entries)));
    EXPECT_EQ("setup program", ReadFileBytes(dir / "temp/Setup.exe"));
    EXPECT_EQ("r", ReadFileBytes(dir / "temp/knxr.dat"));
    EXPECT_FALSE(status.messages().empty());
    EXPECT_TRUE(setupHold.IsOpen());
}

// Writes behind the extraction's back into the setup program it is writing, past the
// bytes it will write, as another program could in the moment before the hold.
class CTamperingProgress : public CExtractProgress {
  public:
    explicit CTamperingProgress(std::string setupPath) : m_setupPath(std::move(setupPath)) {}
    void OnBegin() override {}
    void OnPosition(int) override {
        int fd = open(m_setupPath.c_str(), O_WRONLY);
        if (fd >= 0 && !m_done) {
            EXPECT_EQ(1, pwrite(fd, "!", 1, 4096));
            m_done = true;
        }
        if (fd >= 0) {
            close(fd);
        }
    }
    void OnEnd() override {}

  private:
    std::string m_setupPath;
    bool m_done = false;
};

TEST_F(InstallerExtractTest, SetupProgramChangedByAnotherProgramIsNotHeld) {
    WriteFileBytes(dir / "kit.exe", BuildInstaller(StubLength, "Title", entries));
    CFileStream program;
    ASSERT_TRUE(program.Open((dir / "kit.exe").c_str(), CFileStream::modeRead));
    CTamperingProgress tampering(dir / "temp/Setup.exe");
    EXPECT_EQ(ExtractResult::Complete,
              ExtractPayloadFrom(program, StubLength, (dir / "temp").c_str(), tampering, &setupHold));
    EXPECT_FALSE(setupHold.IsOpen());
    EXPECT_EQ("r", ReadFileBytes(dir / "temp/knxr.dat")) << "the other entries still come out";
}

TEST_F(InstallerExtractTest, UnopenableProgramFileTouchesNothing) {
    PortableSetCommandLine((dir / "gone.exe").c_str());
    CWnd progressWnd = CWnd::FromHandle(progress.handle());
    CWnd statusWnd = CWnd::FromHandle(status.handle());
    EXPECT_EQ(ExtractResult::NoProgramFile,
              ExtractPayload(progressWnd, statusWnd, (dir / "temp").c_str(), setupHold));
    EXPECT_TRUE(progress.messages().empty());
    EXPECT_TRUE(status.messages().empty());
}

TEST_F(InstallerExtractTest, StubWithoutPayloadTouchesNothing) {
    EXPECT_EQ(ExtractResult::NoPayload, RunInstaller(PatternBytes(StubLength, 1)));
    EXPECT_TRUE(progress.messages().empty());
    EXPECT_FALSE(FileExists(dir / "temp/Setup.exe"));
}

TEST_F(InstallerExtractTest, FullDiskIsAFailedWrite) {
    ASSERT_EQ(0, symlink("/dev/full", (dir / "temp/Setup.jar").c_str()));
    EXPECT_EQ(ExtractResult::WriteFailed, RunInstaller(BuildInstaller(StubLength, "Title", entries)));
    EXPECT_EQ("aux", ReadFileBytes(dir / "temp/setup.aux"));
}

TEST_F(InstallerExtractTest, FileBeyondTwoGibibytesHoldsNoReadablePayload) {
    std::string path = dir / "setup kit.exe";
    WriteFileBytes(path, BuildInstaller(StubLength, "Title", entries));
    ASSERT_EQ(0, truncate(path.c_str(), (int64_t{1} << 32) + 5000)); // sparse: wraps to 5000 in 32 bits
    PortableSetCommandLine(("\"" + path + "\"").c_str());
    CWnd progressWnd = CWnd::FromHandle(progress.handle());
    CWnd statusWnd = CWnd::FromHandle(status.handle());
    EXPECT_EQ(ExtractResult::NoPayload,
              ExtractPayload(progressWnd, statusWnd, (dir / "temp").c_str(), setupHold));
    EXPECT_FALSE(FileExists(dir / "temp/Setup.exe"));
}

} // namespace
