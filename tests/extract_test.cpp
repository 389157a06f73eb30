// tests/extract_test.cpp: copying the entries out of an installer file, the progress it
// shows, and what happens with damaged files and unwritable targets.
#include <stdio.h>

#include <gtest/gtest.h>

#include "engine/payload.h"
#include "tests/support.h"

namespace {

constexpr size_t TestStub = 2000;

const char* const EntryFiles[PayloadEntryCount] = {"Setup.exe", "Setup.jar", "setup.aux", "setup.cls",
                                                   "knxf.dat",  "knxr.dat",  "knxl.dat"};

std::vector<std::string> SixEntries() {
    return {PatternBytes(3000, 1), PatternBytes(1, 2),    PatternBytes(1023, 3),
            PatternBytes(1024, 4), PatternBytes(1025, 5), PatternBytes(0, 6)};
}

class ExtractTest : public ::testing::Test {
  protected:
    ExtractTest() : target(dir / "temp"), progress(true), status(false) {}

    void SetUp() override { ASSERT_TRUE(MakeDirectory(target)); }

    ExtractResult Extract(const std::string& image, const std::string& targetDir) {
        WriteFileBytes(dir / "installer.exe", image);
        CFileStream program;
        EXPECT_TRUE(program.Open((dir / "installer.exe").c_str(), CFileStream::modeRead));
        CWnd progressWnd = CWnd::FromHandle(progress.handle());
        CWnd statusWnd = CWnd::FromHandle(status.handle());
        CWindowProgress windows(progressWnd, statusWnd);
        return ExtractPayloadFrom(program, TestStub, targetDir.c_str(), windows);
    }
    ExtractResult Extract(const std::string& image) { return Extract(image, target); }

    std::string Output(int entry) const {
        return ReadFileBytes(dir / ("temp/" + std::string(EntryFiles[entry])));
    }
    bool Exists(int entry) const { return FileExists(dir / ("temp/" + std::string(EntryFiles[entry]))); }

    // The bar was hidden, then the status text shown, and nothing else changed them.
    void ExpectBarSwappedForStatus() const {
        std::vector<RecordedMessage> bar = progress.messages();
        std::vector<RecordedMessage> text = status.messages();
        ASSERT_FALSE(bar.empty());
        ASSERT_EQ(1u, text.size());
        EXPECT_EQ(static_cast<UINT>(WM_SHOWWINDOW), bar.back().message);
        EXPECT_EQ(0u, bar.back().wParam);
        EXPECT_EQ(static_cast<UINT>(WM_SHOWWINDOW), text[0].message);
        EXPECT_EQ(1u, text[0].wParam);
        EXPECT_LT(bar.back().sequence, text[0].sequence);
        EXPECT_FALSE(progress.visible());
        EXPECT_TRUE(status.visible());
    }

    void ExpectUntouched() const {
        EXPECT_TRUE(progress.messages().empty());
        EXPECT_TRUE(status.messages().empty());
        EXPECT_TRUE(progress.visible());
        EXPECT_FALSE(status.visible());
    }

    ScratchDir dir;
    std::string target;
    RecordingWindow progress;
    RecordingWindow status;
};

TEST_F(ExtractTest, CopiesEveryEntryByteForByte) {
    std::vector<std::string> entries = SixEntries();
    EXPECT_EQ(ExtractResult::Complete, Extract(BuildInstaller(TestStub, "Title", entries)));
    for (int k = 0; k < RequiredEntryCount; ++k) {
        EXPECT_EQ(entries[k], Output(k)) << EntryFiles[k];
    }
    EXPECT_FALSE(Exists(6)) << "no bytes follow entry 6, so there is no entry 7";
    ExpectBarSwappedForStatus();
}

TEST_F(ExtractTest, SeventhEntryOnlyWhenBytesFollowTheSixth) {
    std::vector<std::string> entries = SixEntries();
    entries.push_back(PatternBytes(5000, 7));
    EXPECT_EQ(ExtractResult::Complete, Extract(BuildInstaller(TestStub, "Title", entries)));
    EXPECT_EQ(entries[6], Output(6));
}

TEST_F(ExtractTest, ReplacesOutputsButLeavesAnOldSeventhAlone) {
    WriteFileBytes(dir / "temp/Setup.exe", std::string(10000, 'o'));
    WriteFileBytes(dir / "temp/knxl.dat", "left by an earlier run");
    std::vector<std::string> entries = SixEntries();
    EXPECT_EQ(ExtractResult::Complete, Extract(BuildInstaller(TestStub, "Title", entries)));
    EXPECT_EQ(entries[0], Output(0));
    EXPECT_EQ("left by an earlier run", Output(6));
}

TEST_F(ExtractTest, TitleWithoutEntriesIsNoPayloadAndTouchesNothing) {
    std::string image = BuildInstaller(TestStub, "Title", {});
    ASSERT_EQ(TestStub + 40, image.size());
    EXPECT_EQ(ExtractResult::NoPayload, Extract(image));
    ExpectUntouched();
    EXPECT_FALSE(Exists(0));
}

TEST_F(ExtractTest, OneByteAfterTheTitleStartsTheExtraction) {
    EXPECT_EQ(ExtractResult::Truncated, Extract(BuildInstaller(TestStub, "Title", {}) + "\x0A"));
    std::vector<RecordedMessage> bar = progress.messages();
    ASSERT_GE(bar.size(), 2u);
    EXPECT_EQ(static_cast<UINT>(PBM_SETRANGE), bar[0].message);
    EXPECT_EQ(MAKELPARAM(0, 100), bar[0].lParam);
    EXPECT_EQ(std::vector<int>{100}, progress.positions());
    ExpectBarSwappedForStatus();
    EXPECT_FALSE(Exists(0)) << "an entry whose length field is missing is not created";
}

TEST_F(ExtractTest, ZeroAndNegativeLengthsLeaveEmptyFiles) {
    std::string image = BuildInstaller(TestStub, "Title", {"first"});
    image += LengthField(0);
    // A field decoding to -10: only its ten bytes are consumed.
    image += std::string("\x0A\x0A\x0A\x0A\x0A\x0A\x0A\x0A\x0A\x00", 10);
    image += LengthField(4) + "four" + LengthField(0) + LengthField(3) + "end";
    EXPECT_EQ(ExtractResult::Complete, Extract(image));
    EXPECT_EQ("first", Output(0));
    EXPECT_TRUE(Exists(1));
    EXPECT_EQ("", Output(1));
    EXPECT_TRUE(Exists(2));
    EXPECT_EQ("", Output(2));
    EXPECT_EQ("four", Output(3));
    EXPECT_EQ("", Output(4));
    EXPECT_EQ("end", Output(5));
    // One position per block: entries 1, 4 and 6 have a block each, the empty ones none.
    EXPECT_EQ(3u + 1u, progress.positions().size());
}

TEST_F(ExtractTest, OnePositionPerBlockFromTheAbsoluteReadPosition) {
    // L = 2000 + 40 + 10 + 2500 + 4 * 10 + 10 + 100 = 4700.
    std::string image =
        BuildInstaller(TestStub, "Title", {PatternBytes(2500, 1), "", "", "", "", PatternBytes(100, 2)});
    ASSERT_EQ(4700u, image.size());
    EXPECT_EQ(ExtractResult::Complete, Extract(image));
    // Blocks end at 3074, 4098 and 4550 (entry 1) and at 4700 (entry 6, ending at L: 100
    // already); then the final 100.
    EXPECT_EQ((std::vector<int>{65, 87, 96, 100, 100}), progress.positions());
    EXPECT_EQ(static_cast<UINT>(PBM_SETRANGE), progress.messages()[0].message);
    ExpectBarSwappedForStatus();
}

TEST(ProgressPercent, FollowsTheSinglePrecisionTotal) {
    const int32_t length = 100000; // below 2^24, exact in single precision
    EXPECT_EQ(50, ProgressPercent(length / 2, length));
    EXPECT_EQ(99, ProgressPercent(length - 1, length));
    EXPECT_EQ(100, ProgressPercent(length, length));
    // 29/100 as a double is just below 0.29, and the product is truncated.
    EXPECT_EQ(28, ProgressPercent(29000, length));
    EXPECT_EQ(28, ProgressPercent(29 * 123456, 100 * 123456));

    const int32_t beyond = (1 << 24) + 1; // single precision rounds it to 2^24
    EXPECT_EQ(100, ProgressPercent(beyond - 1, beyond));
    EXPECT_EQ(50, ProgressPercent(1 << 23, beyond));
}

TEST_F(ExtractTest, TruncatedEntryGetsOnlyTheBytesThatExist) {
    std::string aux = PatternBytes(1200, 3);
    std::string image = BuildInstaller(TestStub, "Title", {"one", "two"}) + LengthField(5000) + aux;
    EXPECT_EQ(ExtractResult::Truncated, Extract(image));
    EXPECT_EQ("one", Output(0));
    EXPECT_EQ("two", Output(1));
    EXPECT_EQ(aux, Output(2));
    EXPECT_FALSE(Exists(3));
    EXPECT_EQ(100, progress.positions().back());
    ExpectBarSwappedForStatus();
}

TEST_F(ExtractTest, FileEndingInsideALengthFieldIsTruncated) {
    std::string image = BuildInstaller(TestStub, "Title", {"one", "two", "three", "four", "five"});
    image += LengthField(3).substr(0, 6);
    EXPECT_EQ(ExtractResult::Truncated, Extract(image));
    EXPECT_EQ("five", Output(4));
    EXPECT_FALSE(Exists(5));
}

TEST_F(ExtractTest, UncreatableOutputKeepsLaterEntriesInStep) {
    // A directory where entry 2 should go: it cannot be opened as a file.
    ASSERT_TRUE(MakeDirectory(dir / "temp/Setup.jar"));
    std::vector<std::string> entries = SixEntries();
    EXPECT_EQ(ExtractResult::WriteFailed, Extract(BuildInstaller(TestStub, "Title", entries)));
    for (int k = 2; k < RequiredEntryCount; ++k) {
        EXPECT_EQ(entries[k], Output(k)) << EntryFiles[k];
    }
    ExpectBarSwappedForStatus();
}

TEST_F(ExtractTest, MissingTargetDirectoryFailsButStillRunsTheBar) {
    std::vector<std::string> entries = SixEntries();
    EXPECT_EQ(ExtractResult::WriteFailed,
              Extract(BuildInstaller(TestStub, "Title", entries), dir / "absent"));
    EXPECT_EQ(100, progress.positions().back());
    ExpectBarSwappedForStatus();
}

// Signing pads to a multiple of eight and appends the certificate table: neither is an
// entry, whatever the number of entries and the padding.
TEST_F(ExtractTest, SignedInstallersEndAtTheirCertificateTable) {
    for (size_t files : {1, 6, 7}) {
        for (size_t padding = 8; padding-- > 0;) {
            SCOPED_TRACE(std::to_string(files) + " files, " + std::to_string(padding) + " bytes of padding");
            std::vector<std::string> entries = SixEntries();
            entries.resize(files < RequiredEntryCount ? RequiredEntryCount : files);
            for (size_t k = files; k < entries.size(); ++k) {
                entries[k].clear();
            }
            if (files == 7) {
                entries[6] = PatternBytes(100, 8);
            }
            const std::string stub = PeStub(TestStub, true);
            const size_t unpadded = BuildInstaller(stub, "Title", entries).size();
            entries[0] += PatternBytes((8 - (unpadded + padding) % 8) % 8, 9);
            std::string image = BuildInstaller(stub, "Title", entries);
            ASSERT_EQ(padding, (8 - image.size() % 8) % 8);
            AppendCertificateTable(image, 1500);
            std::remove((dir / "temp/knxl.dat").c_str());

            EXPECT_EQ(ExtractResult::Complete, Extract(image));
            for (size_t k = 0; k < entries.size(); ++k) {
                EXPECT_EQ(entries[k], Output(static_cast<int>(k))) << EntryFiles[k];
            }
            EXPECT_EQ(files == 7, Exists(6));
        }
    }
    // The progress counts up to the table, not to the end of the file: the last block of
    // the last installer, without padding, ends at the table and shows 100.
    const std::vector<int> positions = progress.positions();
    EXPECT_EQ(100, positions[positions.size() - 2]);
}

TEST_F(ExtractTest, TargetEndingInABackslashStillWorks) {
    std::vector<std::string> entries = SixEntries();
    EXPECT_EQ(ExtractResult::Complete, Extract(BuildInstaller(TestStub, "Title", entries), target + "\\"));
    EXPECT_EQ(entries[0], Output(0));
}

} // namespace
