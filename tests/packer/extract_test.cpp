// tests/packer/extract_test.cpp: "sfxpack extract": byte-identical round trips on every
// road of the copy, damaged installers refused (nothing written) or, forced, extracted
// as the stub itself would, and failures that leave the target directory as it was.
#include <gtest/gtest.h>

#include "tests/packer/packer_support.h"
#include "tools/sfxpack/build.h"
#include "tools/sfxpack/unpack.h"

namespace {

class ExtractTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(WriteSealedStub(dir / "stub.exe", 2000).empty());
        entries = {PatternBytes(3000, 1), PatternBytes(1, 2),   PatternBytes(1500, 3), "",
                   PatternBytes(1024, 5), PatternBytes(700, 6), PatternBytes(2500, 7)};
    }

    // Builds an installer of the first count entries and returns its bytes.
    std::string Build(size_t count) {
        BuildRequest request;
        request.stub = dir / "stub.exe";
        request.title = "Title";
        request.output = dir / "installer.exe";
        for (size_t k = 0; k < count; ++k) {
            request.files.push_back(dir / EntryNames[k]);
            WriteFileBytes(request.files.back(), entries[k]);
        }
        EXPECT_FALSE(BuildInstallerFile(request).Failed());
        return ReadFileBytes(request.output);
    }

    CommandResult Extract(const std::string& target, bool force = false) {
        ExtractRequest request;
        request.installer = dir / "installer.exe";
        request.directory = target;
        request.force = force;
        CTerminalProgress silent(false);
        warning.clear();
        return ExtractInstaller(request, silent, warning);
    }

    ScratchDir dir;
    std::vector<std::string> entries;
    std::string warning;
};

TEST_F(ExtractTest, RoundTripIsByteIdentical) {
    for (int64_t cap : KernelCopyCaps) {
        CKernelCopyCap road(cap);
        for (size_t count : {size_t{1}, size_t{6}, size_t{7}}) {
            Build(count);
            std::string target = dir / ("out" + std::to_string(count) + "-" + std::to_string(cap + 1));
            CommandResult result = Extract(target);
            ASSERT_FALSE(result.Failed()) << result.message;
            EXPECT_EQ("", warning);
            std::vector<std::string> names(EntryNames, EntryNames + (count == 7 ? 7 : 6));
            std::sort(names.begin(), names.end());
            EXPECT_EQ(names, ListDirectory(target))
                << "no staging directory is left, entry 7 only when given";
            for (size_t k = 0; k < names.size(); ++k) {
                EXPECT_EQ(k < count ? entries[k] : "", ReadFileBytes(target + "/" + EntryNames[k]))
                    << EntryNames[k] << ", kernel copy cap " << cap;
            }
        }
    }
}

TEST_F(ExtractTest, ReplacesFilesButKeepsOthersInTheTarget) {
    Build(2);
    ASSERT_TRUE(MakeDirectory(dir / "out"));
    WriteFileBytes(dir / "out/Setup.exe", "old");
    WriteFileBytes(dir / "out/knxl.dat", "not from this installer");
    ASSERT_FALSE(Extract(dir / "out").Failed());
    EXPECT_EQ(entries[0], ReadFileBytes(dir / "out/Setup.exe"));
    EXPECT_EQ("not from this installer", ReadFileBytes(dir / "out/knxl.dat"));
}

TEST_F(ExtractTest, EveryTruncationIsRefusedOrForcedOnlyAsFarAsItGoes) {
    // Small enough to cut at every byte.
    const size_t stubLength = 200;
    ASSERT_FALSE(WriteSealedStub(dir / "stub.exe", stubLength).empty());
    entries = {PatternBytes(30, 1), "x", PatternBytes(15, 3), "", PatternBytes(10, 5), PatternBytes(7, 6),
               PatternBytes(25, 7)};
    const std::string full = Build(7);
    const size_t sixEntries = full.size() - 10 - entries[6].size();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        WriteFileBytes(dir / "installer.exe", full.substr(0, cut));
        std::string target = dir / ("cut" + std::to_string(cut));
        CommandResult refused = Extract(target);
        if (cut == sixEntries) {
            EXPECT_FALSE(refused.Failed()) << "without entry 7 the installer is complete";
            continue;
        }
        EXPECT_EQ(ExitBadInput, refused.status) << cut;
        EXPECT_FALSE(FileExists(target)) << "refused at " << cut << " but created the directory";

        // Forced, each entry is a prefix of the original: never longer, never other bytes.
        // Without a whole title field there is nothing to extract. Each cut takes one of
        // the copy's roads in turn.
        CKernelCopyCap road(KernelCopyCaps[cut % 3]);
        CommandResult forced = Extract(target, true);
        std::vector<std::string> names = ListDirectory(target);
        EXPECT_TRUE(cut > stubLength + 40 || names.empty()) << cut;
        EXPECT_TRUE(cut <= stubLength || !forced.Failed()) << cut << ": " << forced.message;
        for (const std::string& name : names) {
            size_t k = std::find(EntryNames, EntryNames + 7, name) - EntryNames;
            ASSERT_LT(k, 7u) << name;
            std::string got = ReadFileBytes(target + "/" + name);
            EXPECT_LE(got.size(), entries[k].size());
            EXPECT_EQ(entries[k].substr(0, got.size()), got) << name << " cut at " << cut;
        }
        // And they are what the stub itself writes from the same file.
        std::string stubTarget = dir / ("stub" + std::to_string(cut));
        ASSERT_TRUE(MakeDirectory(stubTarget));
        CFileStream file;
        ASSERT_TRUE(file.Open((dir / "installer.exe").c_str(), CFileStream::modeRead));
        CTerminalProgress silent(false);
        ExtractPayloadFrom(file, static_cast<int32_t>(stubLength), stubTarget.c_str(), silent);
        EXPECT_EQ(ListDirectory(stubTarget), names) << cut;
        for (const std::string& name : ListDirectory(stubTarget)) {
            EXPECT_EQ(ReadFileBytes(stubTarget + "/" + name), ReadFileBytes(target + "/" + name))
                << name << " cut at " << cut;
        }
    }
}

TEST_F(ExtractTest, TargetThatIsAFileIsAnIoFailure) {
    Build(1);
    WriteFileBytes(dir / "plain", "x");
    CommandResult result = Extract(dir / "plain");
    EXPECT_EQ(ExitIoError, result.status);
    EXPECT_NE(std::string::npos, result.message.find("not a directory")) << result.message;
}

#ifndef _WIN32
TEST_F(ExtractTest, AFailedWriteLeavesTheTargetAsItWas) {
    Build(7);
    ASSERT_TRUE(MakeDirectory(dir / "out"));
    WriteFileBytes(dir / "out/Setup.exe", "old");
    // Entry 1 (3000 bytes) cannot be written whole.
    int status = RunWithFileSizeLimit(2000, [this] { return Extract(dir / "out").status; });
    EXPECT_EQ(ExitIoError, status);
    EXPECT_EQ(std::vector<std::string>{"Setup.exe"}, ListDirectory(dir / "out"));
    EXPECT_EQ("old", ReadFileBytes(dir / "out/Setup.exe"));

    // A directory the run created goes again.
    status = RunWithFileSizeLimit(2000, [this] { return Extract(dir / "new").status; });
    EXPECT_EQ(ExitIoError, status);
    EXPECT_FALSE(FileExists(dir / "new"));
}
#endif

} // namespace
