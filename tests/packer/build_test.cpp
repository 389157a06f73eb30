// tests/packer/build_test.cpp: what "sfxpack build" takes and writes: the seal that tells
// a stub's length, the title in its code page, the exact layout, and what it refuses
// without leaving anything behind. Files of 2 GiB and failed writes: cli_test.sh.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>
#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "engine/seal.h"
#include "tests/support.h"
#include "tools/sfxpack/build.h"
#include "tools/sfxpack/seal.h"

namespace {

TEST(Seal, StoresTheFileLengthInTheOneMarkerWhereverItLies) {
    ScratchDir dir;
    int32_t length = 0;
    // Around the 64 KiB scan chunk border, and at the very end.
    for (size_t at : {size_t{65536 - 7}, size_t{65536}, size_t{200000 - 16}}) {
        std::string image = Changed(PatternBytes(200000, 1), at, SealBlock(UnsealedStubLength));
        WriteFileBytes(dir / "stub.exe", image);
        ASSERT_EQ(SealStatus::Sealed, SealStubFile((dir / "stub.exe").c_str(), &length)) << at;
        EXPECT_EQ(Changed(image, at, SealBlock(200000)), ReadFileBytes(dir / "stub.exe")) << at;
    }
    // A stub with a PE header gets the checksum of its bytes as sealed.
    const std::string pe = Changed(PeStub(5001, false), 4000, SealBlock(UnsealedStubLength));
    WriteFileBytes(dir / "pe.exe", pe);
    ASSERT_EQ(SealStatus::Sealed, SealStubFile((dir / "pe.exe").c_str(), &length));
    EXPECT_EQ(WithPeChecksum(Changed(pe, 4000, SealBlock(5001))), ReadFileBytes(dir / "pe.exe"));
    const std::string twice = PatternBytes(300, 3) + SealBlock(332) + SealBlock(999);
    WriteFileBytes(dir / "twice.exe", twice);
    EXPECT_EQ(SealStatus::SeveralMarkers, SealStubFile((dir / "twice.exe").c_str(), &length));
    EXPECT_EQ(twice, ReadFileBytes(dir / "twice.exe")) << "a refused stub stays as it was";
    // An installer's payload may carry another stub; the scan stops at the first marker.
    CFileStream file;
    SealScan scan;
    ASSERT_TRUE(file.Open((dir / "twice.exe").c_str(), CFileStream::modeRead) &&
                ScanForSeal(file, true, scan));
    EXPECT_EQ(332, scan.storedLength);
}

// A title in its code page, padded with blanks, and shown back as stored; or the reason
// it cannot be stored.
TEST(Title, IsStoredInItsCodePageOrRefusedSayingWhy) {
    const std::string x38(38, 'x');
    const std::tuple<std::string, unsigned, std::string, int> cases[] = {
        {"Café €", 1252, "Caf\xE9 \x80", ExitOk},
        {"Café", 437, "Caf\x82", ExitOk},
        {"日本", 932, "\x93\xFA\x96\x7B", ExitOk}, // Shift-JIS
        {x38 + "é", 65001, x38 + "é", ExitOk},     // 40 bytes fit
        {x38 + "xé", 65001, "title is 41 bytes in code page 65001, but the title field holds 40",
         ExitBadInput},
        // No best fit: Windows would otherwise store 'A' for it.
        {"Āpple", 1252, "title character 'Ā' (U+0100) cannot be represented in code page 1252", ExitBadInput},
        {"tab\there", 1252, "title holds the control character U+0009 (character 4)", ExitBadInput},
        {"nel\xc2\x85", 1252, "control character U+0085", ExitBadInput},
        {"\xED\xA0\x80", 1252, "title is not valid UTF-8", ExitBadInput}, // a surrogate
        {"\xC0\xAF", 1252, "title is not valid UTF-8", ExitBadInput},     // overlong
        {"Title", 60000, "code page 60000", ExitUsage},
    };
    for (const auto& [utf8, codePage, stored, status] : cases) {
        std::string field = "untouched";
        CommandResult result = EncodeTitle(utf8, codePage, field);
        EXPECT_EQ(status, result.status) << utf8;
        if (status != ExitOk) {
            EXPECT_NE(std::string::npos, result.message.find(stored)) << result.message;
            EXPECT_EQ("untouched", field);
            continue;
        }
        EXPECT_EQ(stored + std::string(40 - stored.size(), ' '), field) << utf8;
        EXPECT_EQ(utf8 + std::string(40 - stored.size(), ' '), DecodeTitle(field, codePage));
    }
    // A lone Shift-JIS lead byte is no text in that code page.
    EXPECT_EQ("ab\\x93 ", DecodeTitle("ab\x93 ", 932));
}

class BuildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        stub = WriteSealedStub(dir / "stub.exe", 3000);
        for (size_t k = 0; k < 7; ++k) {
            contents.push_back(PatternBytes(k == 3 ? 0 : k * 700 + 5, static_cast<unsigned>(k)));
            WriteFileBytes(dir / ("input" + std::to_string(k)), contents.back());
        }
    }

    BuildRequest Request(size_t fileCount, const std::string& output) {
        std::vector<std::string> files;
        for (size_t k = 0; k < fileCount; ++k) {
            files.push_back(dir / ("input" + std::to_string(k)));
        }
        return BuildRequest{dir / "stub.exe", "Kelvane Pro", output, files, DefaultCodePage, false};
    }

    ScratchDir dir;
    std::string stub;
    std::vector<std::string> contents;
    const std::string title = "Kelvane Pro" + std::string(29, ' ');
};

TEST_F(BuildTest, RefusesBadInputsBeforeWritingAnything) {
    const std::string stubPath = dir / "stub.exe", missing = dir / "no such file";
    const std::tuple<std::function<void(BuildRequest&)>, int, std::string> cases[] = {
        {[&](BuildRequest&) { WriteFileBytes(stubPath, stub + "extra"); }, ExitBadInput,
         "not sealed: its seal says 3000 bytes but the file has 3005"},
        {[&](BuildRequest&) { WriteFileBytes(stubPath, PatternBytes(3000, 1)); }, ExitBadInput,
         "no seal found"},
        {[](BuildRequest& r) { r.output = r.stub; }, ExitUsage, "is one of the inputs"},
        {[](BuildRequest& r) { r.output = r.files[6]; }, ExitUsage, "is one of the inputs"},
        {[](BuildRequest& r) { r.title = std::string(41, 'x'); }, ExitBadInput, "title is 41 bytes"},
        {[&](BuildRequest& r) { r.files[1] = missing; }, ExitIoError, missing},
        {[&](BuildRequest& r) { r.files[0] = dir.path(); }, ExitBadInput, "is a directory"},
    };
    const std::vector<std::string> inputs = ListDirectory(dir.path());
    for (const auto& [change, status, message] : cases) {
        BuildRequest request = Request(7, dir / "out.exe");
        change(request);
        CommandResult result = BuildInstallerFile(request);
        EXPECT_EQ(status, result.status) << result.message;
        EXPECT_NE(std::string::npos, result.message.find(message)) << result.message;
        EXPECT_EQ(inputs, ListDirectory(dir.path())) << result.message;
        EXPECT_EQ(contents[6], ReadFileBytes(dir / "input6")) << result.message;
        WriteFileBytes(stubPath, stub);
    }
    // --raw-stub takes a stub as it is.
    WriteFileBytes(stubPath, PatternBytes(3000, 1));
    BuildRequest raw = Request(1, dir / "out.exe");
    raw.rawStub = true;
    ASSERT_FALSE(BuildInstallerFile(raw).Failed());
    EXPECT_EQ(PatternBytes(3000, 1) + title, ReadFileBytes(dir / "out.exe").substr(0, 3040));
}

// One to seven files: entries 1 to 6 always, those without a file empty; a signed stub
// goes in as it was before signing, whatever the padding its signing took; and one grown
// after sealing (the last) is refused.
TEST_F(BuildTest, WritesExactlyTheLayoutAndLeavesOutAStubsSignature) {
    WriteFileBytes(dir / "out.exe", "an older installer");
    for (size_t size = 3000; size <= 3008; ++size) {
        const size_t count = size < 3007 ? size - 2999 : 7;
        BuildRequest request = Request(count, dir / "out.exe");
        request.stub = dir / "pe-stub.exe";
        const std::string unsignedStub = WriteSealedStub(request.stub, size, true);
        std::string signedStub = unsignedStub + (size == 3008 ? "grown after sealing" : "");
        AppendCertificateTable(signedStub, 900);
        WriteFileBytes(request.stub, signedStub);
        CCopyRoad road(size);
        std::string note;
        CommandResult result = BuildInstallerFile(request, &note);
        if (size == 3008) {
            EXPECT_NE(std::string::npos, result.message.find("before its certificate table"))
                << result.message;
            break;
        }
        ASSERT_FALSE(result.Failed()) << result.message;
        EXPECT_NE(std::string::npos, note.find("signature is left out")) << note;
        std::vector<std::string> entries(contents.begin(), contents.begin() + static_cast<long>(count));
        entries.resize(count > 6 ? count : 6);
        EXPECT_EQ(WithPeChecksum(BuildInstaller(unsignedStub, title, entries)), ReadFileBytes(request.output))
            << count << " files";
    }
}

// A stub whose seal has room for the digest gets the CRC-32 of the payload in the
// installer's copy; an older one gets the installer it always got.
TEST_F(BuildTest, SealsThePayloadsDigestWhereTheStubHasRoomForIt) {
    for (bool room : {false, true}) {
        stub = WriteSealedStub(dir / "stub.exe", 3000, false, room);
        SealScan scan;
        ASSERT_EQ(SealStatus::Sealed, CheckStubSeal((dir / "stub.exe").c_str(), scan));
        EXPECT_EQ(room, scan.CanCarryDigest());
        ASSERT_FALSE(BuildInstallerFile(Request(7, dir / "out.exe")).Failed());
        const std::string plain = BuildInstaller(stub, title, contents);
        EXPECT_EQ(room ? WithSealedDigest(plain, stub.size()) : plain, ReadFileBytes(dir / "out.exe"));
    }
}

// Each kind of stub a user brings, with entries from empty to several MiB, on every copy
// road: the installer holds zlib's CRC-32 of its payload where the seal has room for it,
// and the checksum its words give. The stub's odd length puts the payload at odd offsets.
TEST_F(BuildTest, SealsZlibsDigestAndTheTrueChecksumForEachKindOfStubOnEveryRoad) {
    const std::vector<std::string> entries = {PatternBytes(2 << 20 | 3, 1), "", PatternBytes(333, 2),
                                              PatternBytes(65537, 3),       "", ""};
    BuildRequest request = Request(0, dir / "out.exe");
    for (size_t k = 0; k < 4; ++k) {
        request.files.push_back(dir / ("entry" + std::to_string(k)));
        WriteFileBytes(request.files.back(), entries[k]);
    }
    request.stub = dir / "pe-stub.exe";
    const struct {
        const char* kind;
        bool raw, sign;
    } kinds[] = {{"sealed, room for a digest", false, false}, {"raw", true, false}, {"signed", false, true}};
    for (const auto& [kind, raw, sign] : kinds) {
        std::string unsignedStub = raw ? PeStub(4001, true) : WriteSealedStub(request.stub, 4001, true, true);
        std::string stubFile = unsignedStub;
        if (sign) {
            AppendCertificateTable(stubFile, 900);
        }
        WriteFileBytes(request.stub, stubFile);
        request.rawStub = raw;
        const std::string plain = BuildInstaller(unsignedStub, title, entries);
        const std::string expected = WithPeChecksum(raw ? plain : WithSealedDigest(plain, 4001));
        for (size_t road = 0; road < CopyRoadCount; ++road) {
            SCOPED_TRACE(std::string(kind) + ", road " + std::to_string(road));
            CCopyRoad copyRoad(road);
            ASSERT_FALSE(BuildInstallerFile(request).Failed());
            const std::string built = ReadFileBytes(request.output);
            EXPECT_TRUE(built == expected)
                << built.size() << " bytes, the first difference at "
                << std::mismatch(built.begin(), built.end(), expected.begin(), expected.end()).first -
                       built.begin();
        }
    }
}

#ifdef __linux__
// An input cut short while the installer is written, after it was measured: every road
// fails as an input changed under it, and leaves nothing. The cut comes as soon as the
// temporary output appears, while the large first entry is copied; a machine so slow
// that the build ended first tries again.
TEST_F(BuildTest, FailsLeavingNothingWhenAnInputShrinksWhileItIsCopied) {
    WriteSealedStub(dir / "stub.exe", 3000, true, true); // digested and summed
    std::filesystem::resize_file(dir / "input0", 32 << 20);
    WriteFileBytes(dir / "input6", PatternBytes(2 << 20, 6));
    const std::vector<std::string> before = ListDirectory(dir.path());
    for (size_t road = 0; road < CopyRoadCount; ++road) {
        SCOPED_TRACE("road " + std::to_string(road));
        CCopyRoad copyRoad(road);
        CommandResult result;
        for (int attempt = 0; attempt < 3 && !result.Failed(); ++attempt) {
            std::filesystem::remove(dir / "out.exe");
            WriteFileBytes(dir / "input6", PatternBytes(2 << 20, 6));
            const int watch = inotify_init1(IN_CLOEXEC);
            ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
            std::thread cutter([&] {
                char event[sizeof(inotify_event) + 256];
                if (read(watch, event, sizeof event) > 0) {
                    std::filesystem::resize_file(dir / "input6", 1 << 20);
                }
            });
            result = BuildInstallerFile(Request(7, dir / "out.exe"));
            cutter.join();
            close(watch);
        }
        EXPECT_EQ(ExitIoError, result.status);
        EXPECT_NE(std::string::npos, result.message.find("input6: could not be read to its end"))
            << result.message;
        EXPECT_EQ(before, ListDirectory(dir.path()));
    }
}
#endif

} // namespace
