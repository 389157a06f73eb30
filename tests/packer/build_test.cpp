// tests/packer/build_test.cpp: what "sfxpack build" writes (the exact layout, the same
// bytes every time) and what it refuses without leaving anything behind.
#include <gtest/gtest.h>

#include "tests/packer/packer_support.h"
#include "tools/sfxpack/build.h"

namespace {

class BuildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        stub = WriteSealedStub(dir / "stub.exe", 3000);
        ASSERT_FALSE(stub.empty());
        for (int k = 0; k < 7; ++k) {
            contents.push_back(
                PatternBytes(static_cast<size_t>(k * 700 + (k == 3 ? 0 : 5)), static_cast<unsigned>(k)));
            files.push_back(dir / ("input" + std::to_string(k + 1)));
            WriteFileBytes(files.back(), contents.back());
        }
    }

    BuildRequest Request(size_t fileCount, const std::string& output) {
        BuildRequest request;
        request.stub = dir / "stub.exe";
        request.title = "Kelvane Pro";
        request.output = output;
        request.files.assign(files.begin(), files.begin() + static_cast<long>(fileCount));
        return request;
    }

    // The directory holds nothing but the inputs (and what else is named).
    void ExpectOnlyInputs(const std::vector<std::string>& others = {}) {
        std::vector<std::string> expected = {"input1", "input2", "input3", "input4",
                                             "input5", "input6", "input7", "stub.exe"};
        expected.insert(expected.end(), others.begin(), others.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, ListDirectory(dir.path()));
    }

    ScratchDir dir;
    std::string stub;
    std::vector<std::string> files;
    std::vector<std::string> contents;
    const std::string title = "Kelvane Pro" + std::string(29, ' ');
};

TEST_F(BuildTest, WritesExactlyTheLayoutForOneToSevenFiles) {
    for (size_t count = 1; count <= 7; ++count) {
        // Each count takes one of the copy's roads in turn.
        CKernelCopyCap road(KernelCopyCaps[count % 3]);
        std::string output = dir / ("out" + std::to_string(count) + ".exe");
        CommandResult result = BuildInstallerFile(Request(count, output));
        ASSERT_FALSE(result.Failed()) << result.message;
        // Entries 1 to 6 always; the ones without a file are empty.
        std::vector<std::string> entries(contents.begin(), contents.begin() + static_cast<long>(count));
        entries.resize(count > 6 ? count : 6);
        EXPECT_EQ(BuildInstaller(stub, title, entries), ReadFileBytes(output)) << count << " files";
    }
}

TEST_F(BuildTest, SameInputsGiveTheSameBytesAndReplaceAnOldOutput) {
    WriteFileBytes(dir / "a.exe", "an older installer");
    ASSERT_FALSE(BuildInstallerFile(Request(7, dir / "a.exe")).Failed());
    ASSERT_FALSE(BuildInstallerFile(Request(7, dir / "b.exe")).Failed());
    EXPECT_EQ(ReadFileBytes(dir / "a.exe"), ReadFileBytes(dir / "b.exe"));
    ExpectOnlyInputs({"a.exe", "b.exe"});
}

TEST_F(BuildTest, RefusesAStubWhoseSealDisagreesWithItsSize) {
    // A stub changed after sealing: its seal still tells the old length.
    WriteFileBytes(dir / "stub.exe", stub + "extra");
    CommandResult result = BuildInstallerFile(Request(1, dir / "out.exe"));
    EXPECT_EQ(ExitBadInput, result.status);
    EXPECT_NE(std::string::npos,
              result.message.find("not sealed: its seal says 3000 bytes but the file has 3005"))
        << result.message;
    // Without any seal.
    WriteFileBytes(dir / "stub.exe", PatternBytes(3000, 1));
    result = BuildInstallerFile(Request(1, dir / "out.exe"));
    EXPECT_EQ(ExitBadInput, result.status);
    EXPECT_NE(std::string::npos, result.message.find("no seal found")) << result.message;
    ExpectOnlyInputs();

    // --raw-stub takes it as it is.
    BuildRequest raw = Request(1, dir / "out.exe");
    raw.rawStub = true;
    ASSERT_FALSE(BuildInstallerFile(raw).Failed());
    EXPECT_EQ(PatternBytes(3000, 1) + title, ReadFileBytes(dir / "out.exe").substr(0, 3040));
}

TEST_F(BuildTest, RefusesToOverwriteAnInput) {
    for (const std::string& input : {files[0], files[6], dir / "stub.exe"}) {
        CommandResult result = BuildInstallerFile(Request(7, input));
        EXPECT_EQ(ExitUsage, result.status) << input;
        EXPECT_NE(std::string::npos, result.message.find("is one of the inputs")) << result.message;
    }
    EXPECT_EQ(contents[0], ReadFileBytes(files[0]));
    EXPECT_EQ(stub, ReadFileBytes(dir / "stub.exe"));
    ExpectOnlyInputs();
}

TEST_F(BuildTest, RefusesBadTitlesAndMissingInputsBeforeWriting) {
    BuildRequest badTitle = Request(1, dir / "out.exe");
    badTitle.title = std::string(41, 'x');
    EXPECT_EQ(ExitBadInput, BuildInstallerFile(badTitle).status);
    BuildRequest missing = Request(2, dir / "out.exe");
    missing.files[1] = dir / "no such file";
    CommandResult result = BuildInstallerFile(missing);
    EXPECT_EQ(ExitIoError, result.status);
    EXPECT_NE(std::string::npos, result.message.find("no such file")) << result.message;
    BuildRequest directory = Request(1, dir / "out.exe");
    directory.files[0] = dir.path();
    EXPECT_EQ(ExitBadInput, BuildInstallerFile(directory).status);
    ExpectOnlyInputs();
}

#ifndef _WIN32
TEST_F(BuildTest, RefusesFilesAndInstallersOfTwoGibibytes) {
    // Sparse files: measured, never written.
    std::string huge = dir / "huge";
    BuildRequest request = Request(0, dir / "missing-dir/out.exe");
    request.files = {huge};

    MakeSparseFile(huge, int64_t{1} << 31);
    CommandResult result = BuildInstallerFile(request);
    EXPECT_EQ(ExitBadInput, result.status);
    EXPECT_NE(std::string::npos,
              result.message.find("is 2147483648 bytes; an entry holds at most 2147483647"))
        << result.message;

    // The installer would be stub + 40 + 6 fields + the file: one byte too many...
    const int64_t room = INT32_MAX - 3000 - 40 - 60;
    MakeSparseFile(huge, room + 1);
    result = BuildInstallerFile(request);
    EXPECT_EQ(ExitBadInput, result.status);
    EXPECT_NE(std::string::npos, result.message.find("the installer would be 2147483648 bytes"))
        << result.message;

    // ...and at 2^31 - 1 it passes every check; it fails only at creating the output in
    // a directory that does not exist, before writing anything.
    MakeSparseFile(huge, room);
    EXPECT_EQ(ExitIoError, BuildInstallerFile(request).status);
}

TEST_F(BuildTest, AFailedWriteLeavesNoOutputAndKeepsTheOldOne) {
    // Files may not grow past 5000 bytes: the write fails inside entry 3.
    int status =
        RunWithFileSizeLimit(5000, [this] { return BuildInstallerFile(Request(7, dir / "new.exe")).status; });
    EXPECT_EQ(ExitIoError, status);
    ExpectOnlyInputs();

    WriteFileBytes(dir / "old.exe", "the installer of yesterday");
    status =
        RunWithFileSizeLimit(5000, [this] { return BuildInstallerFile(Request(7, dir / "old.exe")).status; });
    EXPECT_EQ(ExitIoError, status);
    EXPECT_EQ("the installer of yesterday", ReadFileBytes(dir / "old.exe"));
    ExpectOnlyInputs({"old.exe"});
}
#endif

// A signed stub goes in as it was before signing, whatever the padding its signing took;
// a stub changed after sealing is still refused.
TEST_F(BuildTest, LeavesOutASignedStubsSignature) {
    for (size_t size = 3000; size < 3008; ++size) {
        const std::string unsignedStub = WriteSealedStub(dir / "pe-stub.exe", size, true);
        std::string signedStub = unsignedStub;
        AppendCertificateTable(signedStub, 900);
        WriteFileBytes(dir / "pe-stub.exe", signedStub);
        BuildRequest request = Request(2, dir / "signed-stub.exe");
        request.stub = dir / "pe-stub.exe";
        std::string note;
        CommandResult result = BuildInstallerFile(request, &note);
        ASSERT_FALSE(result.Failed()) << result.message;
        EXPECT_NE(std::string::npos, note.find("signature is left out")) << note;
        std::vector<std::string> entries = {contents[0], contents[1], "", "", "", ""};
        EXPECT_EQ(BuildInstaller(unsignedStub, title, entries), ReadFileBytes(dir / "signed-stub.exe"))
            << size;
    }
    std::string grown = WriteSealedStub(dir / "pe-stub.exe", 3000, true) + "grown after sealing";
    AppendCertificateTable(grown, 900);
    WriteFileBytes(dir / "pe-stub.exe", grown);
    BuildRequest request = Request(2, dir / "signed-stub.exe");
    request.stub = dir / "pe-stub.exe";
    CommandResult refused = BuildInstallerFile(request);
    EXPECT_EQ(ExitBadInput, refused.status);
    EXPECT_NE(std::string::npos, refused.message.find("before its certificate table")) << refused.message;
}

} // namespace
