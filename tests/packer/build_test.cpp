// tests/packer/build_test.cpp: "sfxpack seal" and "sfxpack build", its digest against zlib and
// the PE checksum's plain loop; 2 GiB and failed writes: cli_test.sh.
#include <algorithm>
#include <functional>
#include <iterator>

#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/seal.h"
#include "tests/support.h"
#include "tools/sfxpack/build.h"
#include "tools/sfxpack/seal.h"
#include "tools/sfxpack/sysfile.h"
#include "tools/sfxpack/trailing_digest.h"

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
    const std::string pe = Changed(PeStub(5001, false), 4000, SealBlock(UnsealedStubLength));
    WriteFileBytes(dir / "pe.exe", pe);
    ASSERT_EQ(SealStatus::Sealed, SealStubFile((dir / "pe.exe").c_str(), &length));
    EXPECT_EQ(WithPeChecksum(Changed(pe, 4000, SealBlock(5001))), ReadFileBytes(dir / "pe.exe"));
    const std::string twice = PatternBytes(300, 3) + SealBlock(332) + SealBlock(999);
    WriteFileBytes(dir / "twice.exe", twice);
    EXPECT_EQ(SealStatus::SeveralMarkers, SealStubFile((dir / "twice.exe").c_str(), &length));
    EXPECT_EQ(twice, ReadFileBytes(dir / "twice.exe")) << "a refused stub stays as it was";
    // A payload may carry another stub: the first marker is the stub's.
    CFileStream file;
    SealScan scan;
    ASSERT_TRUE(file.Open((dir / "twice.exe").c_str(), CFileStream::modeRead) &&
                ScanForSeal(file, true, scan));
    EXPECT_EQ(332, scan.storedLength);
}

TEST(Title, IsStoredInItsCodePageOrRefusedSayingWhy) {
    const std::string x38(38, 'x');
    const std::tuple<std::string, unsigned, std::string, int> cases[] = {
        {"Café €", 1252, "Caf\xE9 \x80", ExitOk},
        {"日本", 932, "\x93\xFA\x96\x7B", ExitOk}, // Shift-JIS
        {x38 + "é", 65001, x38 + "é", ExitOk},     // 40 bytes fit
        {x38 + "xé", 65001, "title is 41 bytes in code page 65001, but the title field holds 40",
         ExitBadInput},
        // No best fit: Windows would otherwise store 'A' for it.
        {"Āpple", 1252, "title character 'Ā' (U+0100) cannot be represented in code page 1252", ExitBadInput},
        {"tab\there", 1252, "title holds the control character U+0009 (character 4)", ExitBadInput},
        {"\xED\xA0\x80", 1252, "title is not valid UTF-8", ExitBadInput}, // a surrogate
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
        {[&](BuildRequest&) {
             std::string grown = WriteSealedStub(stubPath, 3000, true) + "extra";
             AppendCertificateTable(grown, 900);
             WriteFileBytes(stubPath, grown);
         },
         ExitBadInput, "but the file has 3008 before its certificate table"},
        {[&](BuildRequest&) { WriteFileBytes(stubPath, PatternBytes(3000, 1)); }, ExitBadInput,
         "no seal found"},
        {[](BuildRequest& r) { r.output = r.files[6]; }, ExitUsage, "is one of the inputs"},
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
}

// Entries 1 to 6 always, from each kind of stub, each row on a copy road of its own: a signed
// stub goes in as before signing, whatever padding its signing took. Odd lengths, odd offsets.
TEST_F(BuildTest, WritesExactlyTheLayoutFromEachKindOfStub) {
    contents[6] = PatternBytes(4 << 20 | 3, 6); // past a copy piece
    WriteFileBytes(dir / "input6", contents[6]);
    WriteFileBytes(dir / "out.exe", "an older installer");
    const struct {
        size_t size, files;
        bool raw, room, sign;
    } rows[] = {{3000, 1, false, false, true}, {3001, 2, false, false, true}, {3002, 3, false, false, true},
                {3003, 4, false, false, true}, {3004, 5, false, false, true}, {3005, 6, false, false, true},
                {3006, 7, false, false, true}, {3007, 7, false, false, true}, {4001, 7, true, false, false},
                {4001, 7, false, true, false}, {4001, 7, false, true, true},  {4003, 7, false, true, true}};
    for (size_t k = 0; k < std::size(rows); ++k) {
        const auto& [size, files, raw, room, sign] = rows[k];
        SCOPED_TRACE("row " + std::to_string(k));
        BuildRequest request = Request(files, dir / "out.exe");
        request.stub = dir / "pe-stub.exe";
        request.rawStub = raw;
        const std::string unsignedStub =
            raw ? PeStub(size, true) : WriteSealedStub(request.stub, size, true, room);
        std::string stubFile = unsignedStub;
        if (sign) {
            AppendCertificateTable(stubFile, 900);
        }
        WriteFileBytes(request.stub, stubFile);
        CCopyRoad road(k);
        std::string note;
        CommandResult result = BuildInstallerFile(request, &note);
        ASSERT_FALSE(result.Failed()) << result.message;
        EXPECT_EQ(sign, note.find("signature is left out") != std::string::npos) << note;
        std::vector<std::string> entries(contents.begin(), contents.begin() + static_cast<long>(files));
        entries.resize(std::max<size_t>(files, 6));
        const std::string plain = BuildInstaller(unsignedStub, title, entries);
        EXPECT_TRUE(WithPeChecksum(room ? WithSealedDigest(plain, size) : plain) ==
                    ReadFileBytes(request.output));
    }
}

// Parts of any parity joined, past a lane block: 0xFFFF, never 0, for words adding up to a
// multiple of 0xFFFF. Pieces and patches: the seal test and the build rows.
TEST(WordSum, AddsUpAsOneLoopInPartsOfAnyParity) {
    const std::string big = PatternBytes(8 * 65536 * 2 + 7, 4);
    const std::pair<std::string, size_t> cases[] = {
        {"", 0},      {"\xFF\xFF", 1},      {std::string(6, '\0'), 3}, {"\x01\x02\x03", 1},
        {big, 65537}, {big, big.size() / 2}};
    for (const auto& [bytes, split] : cases) {
        CWordSum first, second;
        first.Add(bytes.data(), split);
        second.Add(bytes.data() + split, bytes.size() - split);
        first.Append(second);
        EXPECT_EQ(SumWords(bytes), first.GetFolded()) << bytes.size() << " bytes split at " << split;
    }
}

// As build digests (after the stub, summed) and as extract does (all, unsummed), up to past
// a copy piece; a second thread only where it can pay. A source shorter than measured fails.
TEST(TrailingDigest, TakesZlibsCrcAndTheWordSumOfWhatWasWrittenOnEveryRoad) {
    ScratchDir dir;
    const std::string head = "head written", tail = "end";
    const struct {
        size_t size;
        int64_t crcFrom;
        bool summed;
    } rows[] = {{0, 7, true}, {333, 0, false}, {1 << 20 | 1, 7, true}, {9 << 20 | 3, 0, false}};
    for (const auto& [size, crcFrom, summed] : rows) {
        const std::string data = PatternBytes(size, 5), all = head + data + tail;
        WriteFileBytes(dir / "source", data);
        for (size_t road = 0; road < CopyRoadCount; ++road) {
            SCOPED_TRACE(std::to_string(size) + " bytes, road " + std::to_string(road));
            CCopyRoad copyRoad(road);
            CFileStream source, output;
            ASSERT_TRUE(OpenFile(source, dir / "source", CFileStream::modeRead) &&
                        OpenFile(output, dir / "output", CFileStream::modeWrite));
            uint32_t crc = 0;
            CWordSum sum;
            {
                CTrailingDigest digest(output, crcFrom, summed, static_cast<int64_t>(all.size()));
                EXPECT_EQ(all.size() >= (1 << 20) && (road == KernelRoad || road == 2) &&
                              CFileStream::CopiesInSystem() && CountProcessors() > 1,
                          digest.IsTrailing());
                ASSERT_TRUE(output.Write(head.data(), head.size()) && digest.CopyRange(source, 0, size / 2) &&
                            digest.CopyRange(source, size / 2, size - size / 2) &&
                            output.Write(tail.data(), tail.size()) && digest.Finish(crc, sum));
            }
            ASSERT_TRUE(output.Close());
            EXPECT_EQ(all, ReadFileBytes(dir / "output"));
            const size_t from = static_cast<size_t>(crcFrom);
            EXPECT_EQ(crc32_z(0, reinterpret_cast<const Bytef*>(all.data() + from), all.size() - from), crc);
            EXPECT_EQ(summed ? SumWords(all) : 0, sum.GetFolded());
            EXPECT_EQ(summed ? static_cast<int64_t>(all.size()) : 0, sum.GetLength());
            ASSERT_TRUE(OpenFile(output, dir / "short", CFileStream::modeWrite));
            CTrailingDigest digest(output, 0, true, static_cast<int64_t>(size));
            EXPECT_EQ(size == 0, digest.CopyRange(source, 1, static_cast<int64_t>(size)))
                << "a source that ends early";
        }
    }
}

} // namespace
