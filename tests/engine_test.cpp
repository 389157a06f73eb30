// tests/engine_test.cpp: the stub's engine on its own; under Wine only what the i686 build must run.
#include <algorithm>

#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/bounds.h"
#include "engine/crc32.h"
#include "engine/extract.h"
#include "engine/payload.h"
#include "engine/program_file.h"
#include "engine/progress.h"
#include "engine/seal.h"
#include "platform/system/trust.h"
#include "tests/support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Every length up to two blocks, from every start within a folded block, whole and split.
TEST(Crc32, BothWaysGiveZlibsAtEveryLengthStartAndSplit) {
    const std::string data = PatternBytes(2048 + 15, 11);
    for (auto update : {UpdateCrc32ByTable, UpdateCrc32}) {
        for (size_t start = 0; start < 16; ++start) {
            for (size_t length = 0; length <= 2048; ++length) {
                const char* at = data.data() + start;
                const uint32_t expected =
                    crc32(0, reinterpret_cast<const Bytef*>(at), static_cast<uInt>(length));
                const size_t split = length * 7 / 13;
                ASSERT_EQ(expected, update(0, at, length)) << start << "+" << length;
                ASSERT_EQ(expected, update(update(0, at, split), at + split, length - split))
                    << start << "+" << length;
            }
        }
    }
}

// Bytes below the bias, and ten nines, wrap as the stub always has read them.
TEST(LengthField, DecodesEachByteLessTheBiasWrappingBelowIt) {
    const std::pair<std::string, int32_t> cases[] = {{LengthField(1234567), 1234567},
                                                     {std::string(7, '\x0A') + "\x0B\x09\x0A", 90},
                                                     {std::string(10, '\x13'), 1410065407}};
    for (const auto& [field, length] : cases) {
        EXPECT_EQ(length, DecodeEntryLength(reinterpret_cast<const unsigned char*>(field.data()))) << length;
    }
}

#ifdef _WIN32
// The CERT_E_ answers doubt only the signer's chain: intact.
TEST(SignatureAnswers, OnlyAFileFoundAsSignedInstalls) {
    const SignatureCheck intact = SignatureCheck::Intact, damaged = SignatureCheck::Damaged;
    const std::pair<HRESULT, SignatureCheck> cases[] = {
        {S_OK, intact},
        {TRUST_E_NOSIGNATURE, damaged},
        {CERT_E_EXPIRED, intact},
        {CERT_E_INVALID_NAME, intact},
        {HRESULT(CERT_E_INVALID_NAME + 1), damaged},
        {TRUST_E_FAIL, damaged},
        {TRUST_E_EXPLICIT_DISTRUST, SignatureCheck::Distrusted},
        {CERT_E_REVOKED, SignatureCheck::Distrusted},
        {TRUST_E_BAD_DIGEST, damaged},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, JudgeTrustAnswer(static_cast<DWORD>(c.first))) << std::hex << c.first;
    }
}
#endif

// Single precision rounds 2^24 + 1 to 2^24; 0.29 in double precision is below 29/100.
TEST(Extract, ProgressFollowsTheSinglePrecisionTotal) {
    const int32_t beyond = (1 << 24) + 1;
    const int32_t cases[][3] = {
        {99999, 100000, 99}, {29000, 100000, 28}, {beyond - 1, beyond, 100}, {1 << 23, beyond, 50}};
    for (const auto& c : cases) {
        EXPECT_EQ(c[2], ProgressPercent(c[0], c[1])) << c[0] << " of " << c[1];
    }
}

#ifndef _WIN32
constexpr int32_t TestStub = 2000;

// The file made length bytes long (sparse) when length is given.
struct OpenedFile {
    explicit OpenedFile(const std::string& bytes, int64_t length = 0) {
        WriteFileBytes(dir / "file.bin", bytes);
        EXPECT_EQ(0, length == 0 ? 0 : truncate((dir / "file.bin").c_str(), length));
        EXPECT_TRUE(OpenProgram(dir / "file.bin", program));
    }
    ScratchDir dir;
    ProgramFile program;
};

// A security entry claims a signature; a claim without a well-formed table ending the file is damage.
TEST(PayloadBounds, EndAtAWellFormedCertificateTableThatEndsTheFile) {
    auto Entry = [](uint32_t offset, uint32_t size) { return LittleEndian(offset) + LittleEndian(size); };
    for (bool pe32Plus : {false, true}) {
        std::string image = BuildInstaller(PeStub(1500, pe32Plus), "Title", {"abc"});
        AppendCertificateTable(image, 600);
        const uint32_t length = static_cast<uint32_t>(image.size());
        const size_t entry = SecurityEntryOffset(image), optional = 0x80 + 24;
        const std::tuple<size_t, std::string, Signature> cases[] = {
            {0, "MZ", Signature::AtEnd},
            {image.size(), "bytes appended after signing", Signature::Misplaced},
            {entry, Entry(length - 600, 0xFFFFFF00u), Signature::Misplaced}, // beyond 32 bits
            {entry, Entry(length - 4, 4), Signature::Misplaced},             // shorter than a header
            {length - 600, LittleEndian(601), Signature::Misplaced},         // dwLength
            {length - 600, LittleEndian(8), Signature::Misplaced},
            {length - 596, {'\0', '\1'}, Signature::Misplaced},  // wRevision 1.0
            {length - 594, {'\1', '\0'}, Signature::Misplaced},  // X.509, not PKCS#7
            {length - 600, LittleEndian(597), Signature::AtEnd}, // padded after it
            {entry, Entry(0, 0), Signature::None},
            {0, "ZM", Signature::None},
            {0x3C, "\xF0\xFF\xFF\x7F", Signature::None}, // PE header past the end
            {0x80, "NE", Signature::None},
            {optional, "\x07\x01", Signature::None}, // unknown optional header
            // Windows starts a program that counts four directories.
            {0x80 + 20, {'\x60', '\0'}, Signature::AtEnd},
            {optional + (pe32Plus ? 108 : 92), {'\4', '\0'}, Signature::AtEnd},
        };
        for (const auto& [at, bytes, signature] : cases) {
            const std::string changed = Changed(image, at, bytes);
            OpenedFile file(changed);
            EXPECT_EQ(signature, file.program.bounds.signature) << at << ": " << bytes;
            const int64_t table = signature == Signature::AtEnd ? 600 : 0;
            EXPECT_EQ(static_cast<int64_t>(changed.size()) - table, file.program.bounds.end) << at;
            EXPECT_EQ(signature == Signature::None    ? SignatureCheck::Unsigned
                      : signature == Signature::AtEnd ? SignatureCheck::Intact
                                                      : SignatureCheck::Damaged,
                      CheckSignature(file.program))
                << at << ": " << bytes;
        }
    }
}

// Blocks end at 3074, 4098, 4550 (entry 1) and 4700 (entry 6) of 4704; 4 GiB + 5000 reads as 5000.
TEST(Extract, ShowsOnePositionPerBlockFromTheReadPositionAgainstThePayloadEnd) {
    std::string image = BuildInstaller(PeStub(TestStub, true), "T",
                                       {PatternBytes(2500, 1), "", "", "", "", PatternBytes(100, 2)});
    AppendCertificateTable(image, 3000);
    const std::string plain = BuildInstaller(TestStub, "T", {"setup", "", "", "", "", ""});
    const std::tuple<std::string, int64_t, ExtractResult, std::vector<int>> cases[] = {
        {image, 0, ExtractResult::Complete, {-1, 65, 87, 96, 99, 100, -2}},
        {plain, (int64_t{1} << 32) + 5000, ExtractResult::NoPayload, {}},
    };
    for (const auto& [bytes, length, result, calls] : cases) {
        OpenedFile file(bytes, length);
        CProgressRecord progress;
        EXPECT_EQ(result, ExtractPayloadFrom(file.program, {TestStub}, file.dir.path().c_str(), progress));
        EXPECT_EQ(calls, progress.calls);
    }
}

// One entry that cannot be written fails the extraction, not the others; nothing is written through.
TEST(Extract, WritesEveryEntryItCanAndNothingThroughATakenName) {
    const std::vector<std::string> entries = {PatternBytes(3000, 1), "jar", "aux", "cls", "f", ""};
    for (const std::string blocker : {"directory", "link", "no target"}) {
        OpenedFile file(BuildInstaller(TestStub, "T", entries));
        const ScratchDir& dir = file.dir;
        ASSERT_TRUE(MakeDirectory(dir / "temp"));
        WriteFileBytes(dir / "temp/Setup.exe", "old");
        WriteFileBytes(dir / "outside", "mine");
        ASSERT_TRUE(blocker != "directory" || MakeDirectory(dir / "temp/Setup.jar"));
        ASSERT_TRUE(blocker != "link" ||
                    symlink((dir / "outside").c_str(), (dir / "temp/Setup.jar").c_str()) == 0);
        CProgressRecord progress;
        const bool noTarget = blocker == "no target";
        EXPECT_EQ(ExtractResult::WriteFailed,
                  ExtractPayloadFrom(file.program, {TestStub}, (dir / (noTarget ? "absent" : "temp")).c_str(),
                                     progress));
        Files expected = EntryFiles(entries);
        expected["Setup.exe"] = "old";
        expected.erase("Setup.jar");
        for (auto& [name, bytes] : expected) {
            EXPECT_EQ(noTarget && name != "Setup.exe" ? "" : bytes, ReadFileBytes(dir / ("temp/" + name)))
                << blocker << " " << name;
        }
        EXPECT_EQ("mine", ReadFileBytes(dir / "outside")) << blocker;
    }
}

// The file shrinking under the extraction (a dropped share) is damage wherever it falls.
TEST(Extract, ReadFallingShortAtAnyOffsetIsDamage) {
    // Longer than the stream's buffer, so that later reads still go to the file.
    const std::vector<std::string> entries = {PatternBytes(300000, 1), "jar", "", "", PatternBytes(400000, 2),
                                              PatternBytes(3000, 3)};
    const std::string image = BuildInstaller(TestStub, "T", entries);
    const int64_t offsets[] = {2050, 302060, 302073, 302083, 302093, 702103}; // each entry's data
    for (const int64_t failsAt :
         {int64_t{280000}, offsets[4] - 2, offsets[4] + 1000, offsets[4] + 399999, offsets[5] + 1500}) {
        OpenedFile file(image);
        CProgressRecord progress;
        progress.onPosition = [&] { truncate((file.dir / "file.bin").c_str(), failsAt); };
        MakeDirectory(file.dir / "out");
        EXPECT_EQ(ExtractResult::Truncated,
                  ExtractPayloadFrom(file.program, {TestStub}, (file.dir / "out").c_str(), progress))
            << failsAt;
        Files expected;
        for (size_t k = 0; k < entries.size() && offsets[k] <= failsAt; ++k) {
            const int64_t read = std::min<int64_t>(entries[k].size(), failsAt - offsets[k]);
            expected[PayloadEntryTable[k] + 1] = image.substr(offsets[k], read);
        }
        EXPECT_EQ(expected, ReadDirectory(file.dir / "out")) << failsAt;
    }
}
#endif

} // namespace
