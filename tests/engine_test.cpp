// tests/engine_test.cpp: the stub's own reading of its program file: the program path,
// where a signed file's payload ends, whose title is shown, and extraction where the
// target is in the way, its progress, and files it must not trust. Length fields, titles,
// damaged and signed installers: tests/packer/readers_test.cpp, beside sfxpack's readers.
#include <functional>

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
#include "platform/system/unique_name.h"
#include "tests/support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include "platform/system/portable/control.h"
#endif

namespace {

// A scratch file holding the given bytes, opened as the stub opens its own file.
struct OpenedFile {
    explicit OpenedFile(const std::string& bytes) {
        WriteFileBytes(dir / "file.bin", bytes);
        EXPECT_TRUE(OpenProgram(dir / "file.bin", program));
    }
    ScratchDir dir;
    ProgramFile program;
    CFileStream& stream = program.stream;
};

// The stub's CRC-32 both ways, folding (where this processor can) and from the table
// alone, as a processor without the instruction takes it: the published check values,
// and zlib's CRC at every length up to two of the stub's blocks from every start within a
// folded block, whole and split into two calls anywhere.
TEST(Crc32, BothWaysGiveThePublishedValuesAndZlibsAtEveryLengthStartAndSplit) {
    using Update = uint32_t (*)(uint32_t, const void*, size_t);
    std::vector<std::pair<const char*, Update>> ways = {{"table", UpdateCrc32ByTable}};
    if (CanFoldCrc32()) {
        ways.push_back({"folding", UpdateCrc32});
    } else {
        GTEST_LOG_(INFO) << "no carry-less multiplication here: only the table is checked";
    }
    const std::pair<std::string, uint32_t> published[] = {
        {"", 0},
        {"123456789", 0xCBF43926},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
        {std::string(32, '\xFF'), 0xFF6CAB0B},
    };
    const std::string data = PatternBytes(2048 + 15, 11);
    const Bytef* bytes = reinterpret_cast<const Bytef*>(data.data());
    for (const auto& [way, update] : ways) {
        for (const auto& [text, expected] : published) {
            EXPECT_EQ(expected, update(0, text.data(), text.size())) << way << ": " << text;
        }
        for (size_t start = 0; start < 16; ++start) {
            for (size_t length = 0; length <= 2048; ++length) {
                const uint32_t expected = crc32(0, bytes + start, static_cast<uInt>(length));
                const size_t split = length * 7 / 13;
                ASSERT_EQ(expected, update(0, data.data() + start, length))
                    << way << " " << start << "+" << length;
                ASSERT_EQ(expected, update(update(0, data.data() + start, split), data.data() + start + split,
                                           length - split))
                    << way << " " << start << "+" << length << " split at " << split;
            }
        }
    }
}

// The first names are taken by someone else; then either a name is made or the system
// fails for another cause, which ends the search at once.
TEST(CreateUniquelyNamed, SkipsTakenNamesAndStopsAtAnyOtherFailure) {
    const struct {
        uint32_t taken;
        bool otherFailure;
        const char* made; // nullptr: none
        uint32_t tries;
    } cases[] = {
        {0, false, "run-0", 1},
        {2, false, "run-2", 3},
        {3, false, nullptr, 3}, // every name taken
        {1, true, nullptr, 2},
    };
    for (const auto& c : cases) {
        uint32_t tries = 0;
        CString made;
        const bool created = CreateUniquelyNamed(
            "run-", 3, made, [&](const char*) { return ++tries > c.taken && !c.otherFailure; },
            [&] { return tries <= c.taken; });
        EXPECT_EQ(c.made != nullptr, created) << c.taken;
        EXPECT_EQ(c.tries, tries) << c.taken;
        if (created) {
            EXPECT_STREQ(c.made, made);
        }
    }
}

// What the system answers for a well-formed table: Windows reads the stand-in bytes as
// PKCS#7 and finds no signature there; the portable backend answers what it is told.
#ifdef _WIN32
constexpr SignatureCheck WellFormedTableAnswer = SignatureCheck::Damaged;
#else
constexpr SignatureCheck WellFormedTableAnswer = SignatureCheck::Intact;
#endif

#ifdef _WIN32
// A file found as signed installs whatever the system thinks of its signer's chain; a
// distrusted or revoked signer is refused; any other answer is damage, the answers a
// changed file brings about under Wine among them.
TEST(SignatureAnswers, OnlyAFileFoundAsSignedInstalls) {
    const SignatureCheck intact = SignatureCheck::Intact, damaged = SignatureCheck::Damaged,
                         distrusted = SignatureCheck::Distrusted;
    const std::pair<HRESULT, SignatureCheck> cases[] = {
        {S_OK, intact},
        {CERT_E_EXPIRED, intact},
        {CERT_E_UNTRUSTEDROOT, intact},
        {CERT_E_CHAINING, intact},
        {CERT_E_UNTRUSTEDCA, intact},
        {CERT_E_INVALID_NAME, intact},
        {TRUST_E_EXPLICIT_DISTRUST, distrusted},
        {CERT_E_REVOKED, distrusted},
        {TRUST_E_FAIL, damaged},
        {TRUST_E_NOSIGNATURE, damaged},
        {TRUST_E_BAD_DIGEST, damaged},
        {CRYPT_E_ASN1_BADTAG, damaged},
        {HRESULT(ERROR_INSUFFICIENT_BUFFER), damaged}, // a table cut short, under Wine
        {TRUST_E_SUBJECT_FORM_UNKNOWN, damaged},
        {TRUST_E_PROVIDER_UNKNOWN, damaged},
        {HRESULT(CERT_E_INVALID_NAME + 1), damaged},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, JudgeTrustAnswer(static_cast<DWORD>(c.first))) << std::hex << c.first;
    }
}
#endif

// A well-formed table that ends the file ends the payload. A security entry of zeros,
// or no header to hold one, is unsigned; any other entry claims a signature, and a
// claim without such a table is damage (Misplaced).
TEST(PayloadBounds, EndAtAWellFormedCertificateTableThatEndsTheFile) {
    auto Entry = [](uint32_t offset, uint32_t size) { return LittleEndian(offset) + LittleEndian(size); };
    for (bool pe32Plus : {false, true}) {
        std::string image = BuildInstaller(PeStub(1500, pe32Plus), "Title", {"abc"});
        AppendCertificateTable(image, 600);
        const uint32_t length = static_cast<uint32_t>(image.size());
        const size_t entry = SecurityEntryOffset(image), optional = 0x80 + 24;
        const std::tuple<size_t, std::string, Signature> cases[] = {
            {0, "MZ", Signature::AtEnd}, // as it is
            {image.size(), "bytes appended after signing", Signature::Misplaced},
            {entry, Entry(length + 8, 600), Signature::Misplaced},           // past the end
            {entry, Entry(length - 600, 0xFFFFFF00u), Signature::Misplaced}, // beyond 32 bits
            {entry, Entry(length - 4, 4), Signature::Misplaced},             // shorter than a header
            {entry, Entry(0, 600), Signature::Misplaced},                    // at offset 0
            {entry, Entry(length - 600, 0), Signature::Misplaced},           // of size 0
            {entry, Entry(length - 1200, 600), Signature::Misplaced},        // into the payload
            {entry, Entry(length - 590, 590), Signature::Misplaced},         // size short
            {length - 600, LittleEndian(601), Signature::Misplaced},         // dwLength too big
            {length - 600, LittleEndian(8), Signature::Misplaced},           // nothing after it
            {length - 596, {'\0', '\1'}, Signature::Misplaced},              // wRevision 1.0
            {length - 594, {'\1', '\0'}, Signature::Misplaced},              // X.509, not PKCS#7
            {length - 600, LittleEndian(597), Signature::AtEnd},             // padded after it
            {entry, Entry(0, 0), Signature::None},                           // zeroed: unsigned
            {0, "ZM", Signature::None},                                      // no MZ
            {0x3C, "\xF0\xFF\xFF\x7F", Signature::None},                     // PE header past the end
            {0x80, "NE", Signature::None},                                   // no PE signature
            {optional, "\x07\x01", Signature::None},                         // unknown optional header
            // The entry still names its table however the header counts its own size or
            // its directories (Windows starts a program that counts four).
            {0x80 + 20, {'\x60', '\0'}, Signature::AtEnd},                      // too short for the entry
            {optional + (pe32Plus ? 108 : 92), {'\4', '\0'}, Signature::AtEnd}, // four data directories
        };
        for (const auto& [at, bytes, signature] : cases) {
            const std::string changed = Changed(image, at, bytes);
            OpenedFile file(changed);
            const PayloadBounds bounds = FindPayloadBounds(file.stream);
            EXPECT_EQ(signature, bounds.signature) << at << ": " << bytes;
            const int64_t table = signature == Signature::AtEnd ? 600 : 0;
            EXPECT_EQ(static_cast<int64_t>(changed.size()) - table, bounds.end) << at << ": " << bytes;
            EXPECT_EQ(signature == Signature::None    ? SignatureCheck::Unsigned
                      : signature == Signature::AtEnd ? WellFormedTableAnswer
                                                      : SignatureCheck::Damaged,
                      CheckSignature(file.program))
                << at << ": " << bytes;
        }
    }
}

#ifndef _WIN32
// The program file is the module the loader ran, whatever the command line names, on
// the portable backend whose command line and module path the test sets.
TEST(ProgramFile, IsTheModuleWhateverTheCommandLineNames) {
    ScratchDir dir;
    const std::string title = "Portable Title" + std::string(26, ' ');
    WriteFileBytes(dir / "setup.exe", BuildInstaller(StubLength, title, {"data"}));
    WriteFileBytes(dir / "other.exe", BuildInstaller(StubLength, "Other", {"data"}));
    const std::tuple<std::string, ProgramFileResult, std::string> cases[] = {
        {dir / "setup.exe", ProgramFileResult::Opened, title},
        {dir / "missing.exe", ProgramFileResult::NotOpened, "UNKNOWN"},
        {dir / GreekName, ProgramFileResult::Unnamed, "UNKNOWN"},
    };
    for (const auto& [module, opened, expected] : cases) {
        WriteFileBytes(dir / GreekName, "exists");
        PortableSetModulePath(module.c_str());
        PortableSetAsciiCodePage(opened == ProgramFileResult::Unnamed);
        ProgramFile program;
        EXPECT_EQ(opened, OpenProgramFile(program)) << module;
        EXPECT_STREQ(expected.c_str(), GetInstallTitle(program)) << module;
    }
    PortableSetAsciiCodePage(false);
    PortableSetModulePath("/proc/self/exe");
}
#endif

constexpr int32_t TestStub = 2000;

// Notes what an extraction shows: -1 for its beginning, each percentage, -2 for its end;
// a callback can act at each percentage.
class CRecordingProgress : public CExtractProgress {
  public:
    void OnBegin() override { calls.push_back(-1); }
    void OnPosition(int percent) override {
        calls.push_back(percent);
        onPosition();
    }
    void OnEnd() override { calls.push_back(-2); }
    std::vector<int> calls;
    std::function<void()> onPosition = [] {};
};

ExtractResult Extract(const std::string& image, const std::string& target, CExtractProgress& progress,
                      CFileStream* setupHold = nullptr) {
    OpenedFile file(image);
    return ExtractPayloadFrom(file.program, {TestStub}, target.c_str(), progress, setupHold);
}

// An entry that cannot be written fails the extraction, but the others still come out
// and the bar still runs to its end. A name already taken is never written through.
TEST(Extract, WritesEveryEntryItCanAndNothingThroughATakenName) {
    const std::vector<std::string> entries = {PatternBytes(3000, 1), "jar", "aux", "cls", "f", ""};
    // Where entry 2 goes: a directory, or (natively) a link to a full disk; or no target.
    for (const std::string blocker : {"directory", "/dev/full", "no target"}) {
        ScratchDir dir;
        ASSERT_TRUE(MakeDirectory(dir / "temp") &&
                    (blocker != "directory" || MakeDirectory(dir / "temp/Setup.jar")));
        WriteFileBytes(dir / "temp/Setup.exe", std::string(5000, 'o'));
#ifdef _WIN32
        if (blocker == "/dev/full") {
            continue;
        }
#else
        ASSERT_TRUE(blocker != "/dev/full" ||
                    symlink(blocker.c_str(), (dir / "temp/Setup.jar").c_str()) == 0);
#endif
        CRecordingProgress progress;
        const bool noTarget = blocker == "no target";
        const std::string target = dir / (noTarget ? "absent" : "temp");
        EXPECT_EQ(ExtractResult::WriteFailed,
                  Extract(BuildInstaller(TestStub, "T", entries), target, progress));
        for (size_t k = 0; k < entries.size(); ++k) {
            const std::string name = PayloadEntryTable[k] + 1, old = k == 0 ? std::string(5000, 'o') : "";
            if (k != 1) {
                EXPECT_EQ(noTarget || k == 0 ? old : entries[k], ReadFileBytes(dir / ("temp/" + name)))
                    << blocker;
            }
        }
        EXPECT_EQ((std::vector<int>{100, -2}),
                  std::vector<int>(progress.calls.end() - 2, progress.calls.end()));
    }
}

TEST(Extract, ShowsOnePositionPerBlockFromTheReadPositionAgainstThePayloadEnd) {
    // 2000 + 40 + 10 + 2500 + 4 * 10 + 10 + 100 = 4700 bytes, then 4 of padding and the table.
    std::string image = BuildInstaller(PeStub(TestStub, true), "T",
                                       {PatternBytes(2500, 1), "", "", "", "", PatternBytes(100, 2)});
    AppendCertificateTable(image, 3000);
    ScratchDir dir;
    CRecordingProgress progress;
    EXPECT_EQ(ExtractResult::Complete, Extract(image, dir.path(), progress));
    // Blocks end at 3074, 4098 and 4550 (entry 1) and at 4700 (entry 6), of 4704.
    EXPECT_EQ((std::vector<int>{-1, 65, 87, 96, 99, 100, -2}), progress.calls);
}

TEST(Extract, ProgressFollowsTheSinglePrecisionTotal) {
    const int32_t beyond = (1 << 24) + 1; // single precision rounds it to 2^24
    // 0.29 in double precision is just below 29/100.
    const int32_t cases[][3] = {{99999, 100000, 99},
                                {29000, 100000, 28},
                                {29 * 123456, 100 * 123456, 28},
                                {beyond - 1, beyond, 100},
                                {1 << 23, beyond, 50}};
    for (const auto& c : cases) {
        EXPECT_EQ(c[2], ProgressPercent(c[0], c[1])) << c[0] << " of " << c[1];
    }
}

#ifndef _WIN32
TEST(Extract, FileBeyondTwoGibibytesHoldsNoReadablePayload) {
    ScratchDir dir;
    WriteFileBytes(dir / "huge.exe", BuildInstaller(TestStub, "T", {"setup", "", "", "", "", ""}));
    ASSERT_EQ(0, truncate((dir / "huge.exe").c_str(), (int64_t{1} << 32) + 5000)); // 5000 in 32 bits
    ProgramFile program;
    ASSERT_TRUE(OpenProgram(dir / "huge.exe", program));
    CRecordingProgress progress;
    EXPECT_EQ(ExtractResult::NoPayload,
              ExtractPayloadFrom(program, {TestStub}, dir.path().c_str(), progress));
    EXPECT_TRUE(progress.calls.empty());
}

// A read that delivers less than the layout promises (the file shrinks under the
// extraction, as a dropped network share or a pulled drive would make it) ends it as
// damaged, wherever it falls; the entry being copied gets only what was read.
TEST(Extract, ReadFallingShortAtAnyOffsetIsDamage) {
    // Longer than the stream's buffer, so that reads after the first still go to the file.
    const std::vector<std::string> entries = {PatternBytes(300000, 1), "jar", "", "",
                                              PatternBytes(400000, 2), "r"};
    const std::string image = BuildInstaller(TestStub, "T", entries);
    const int64_t entry5 = static_cast<int64_t>(image.size()) - 400000 - 11;
    for (const int64_t failsAt : {int64_t{280000}, entry5 - 2, entry5 + 1000, entry5 + 399999}) {
        ScratchDir dir;
        WriteFileBytes(dir / "setup.exe", image);
        ProgramFile program;
        ASSERT_TRUE(OpenProgram(dir / "setup.exe", program));
        CRecordingProgress progress;
        progress.onPosition = [&] { truncate((dir / "setup.exe").c_str(), failsAt); };
        MakeDirectory(dir / "out");
        EXPECT_EQ(ExtractResult::Truncated,
                  ExtractPayloadFrom(program, {TestStub}, (dir / "out").c_str(), progress))
            << failsAt;
        EXPECT_LE(ReadFileBytes(dir / "out/knxf.dat").size(), 400000u) << failsAt;
    }
}

// Another program may write the setup program in the moment before it is held (POSIX,
// unlike Windows, lets it write even then): the hold must find that.
TEST(Extract, SetupProgramChangedByAnotherProgramIsNotHeld) {
    ScratchDir dir;
    CRecordingProgress tampering;
    tampering.onPosition = [&dir, done = false]() mutable {
        const int fd = done ? -1 : open((dir / "Setup.exe").c_str(), O_WRONLY);
        if (fd >= 0) {
            done = pwrite(fd, "!", 1, 4096) == 1; // past the bytes still to come
            close(fd);
        }
    };
    CFileStream setupHold;
    EXPECT_EQ(ExtractResult::Complete,
              Extract(BuildInstaller(TestStub, "T", {"setup program", "", "", "", "", "r"}), dir.path(),
                      tampering, &setupHold));
    EXPECT_FALSE(setupHold.IsOpen());
    EXPECT_EQ("r", ReadFileBytes(dir / "knxr.dat")) << "the other entries still come out";
}
#endif

} // namespace
