// tests/packer/readers_test.cpp: the stub and sfxpack's list, verify and extract agree on
// every installer as the fuzz targets demand (fuzz/properties.h); extract never loses a file
// the user had, natively and, for Windows' renames, under Wine.
#include <algorithm>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "engine/payload.h"
#include "fuzz/properties.h"
#include "tests/support.h"
#include "tools/sfxpack/sysfile.h"
#include "tools/sfxpack/unpack.h"
#ifdef _WIN32
#include "platform/wintypes.h"
#endif

namespace {

typedef LayoutProblem P;
typedef ExtractResult R;

struct Reading {
    PayloadLayout layout;
    StubExtraction stub;
};

// Every reader on one image, sfxpack's copies taking the road given.
Reading ReadAll(const std::string& image, const PayloadSeal& seal, size_t road = 0) {
    ScratchDir dir;
    WriteFileBytes(dir / "kit.exe", image);
    CFileStream file;
    EXPECT_TRUE(file.Open((dir / "kit.exe").c_str(), CFileStream::modeRead));
    Reading r;
    ReadPayloadLayout(file, seal, r.layout);
    CCopyRoad copyRoad(road);
    EXPECT_STREQ(nullptr, CheckLayout(r.layout));
    EXPECT_STREQ(nullptr, CheckReaders(dir / "kit.exe", r.layout, dir.path(), r.stub));
    return r;
}

// Cut at every byte, and signed where a signing tool can end a file: only six or seven
// whole entries are complete (a signature's padding or table is no entry); else verify
// names the entry where the file ends.
TEST(Readers, AgreeOnAnInstallerCutAtEveryByte) {
    const int32_t stub = 401; // room for a PE32+ header; signed bare, it takes padding
    const std::vector<std::string> entries = {PatternBytes(30, 1), "x", PatternBytes(15, 3), "",
                                              PatternBytes(10, 5), "6", PatternBytes(25, 7)};
    const std::string full = BuildInstaller(PeStub(stub, true), {"Kelvane\0Suite", 13}, entries);
    std::vector<size_t> fieldAt = {stub + TitleFieldLength};
    for (const std::string& entry : entries) {
        fieldAt.push_back(fieldAt.back() + LengthFieldDigits + entry.size());
    }
    ASSERT_TRUE(fieldAt[6] % 8 != 0 && full.size() % 8 != 0) << "signing the whole entries takes padding";
    for (size_t cut = stub - 1; cut <= full.size(); ++cut) {
        for (bool sign : {false, true}) {
            std::string image = full.substr(0, cut);
            const bool complete = cut == fieldAt[6] || cut == full.size();
            if (sign && (cut < stub || (cut % 8 != 0 && cut != stub && !complete))) {
                continue;
            }
            if (sign) {
                AppendCertificateTable(image, 100);
            }
            SCOPED_TRACE("cut at " + std::to_string(cut) + (sign ? ", signed" : ""));
            const Reading r = ReadAll(image, {stub}, cut);
            const int entry =
                static_cast<int>(std::upper_bound(fieldAt.begin(), fieldAt.end(), cut) - fieldAt.begin()) - 1;
            const P cutProblem =
                entry < 0 || cut >= fieldAt[entry] + LengthFieldDigits ? P::EntryCut : P::FieldCut;
            EXPECT_EQ(complete      ? P::None
                      : entry >= 0  ? cutProblem
                      : cut < stub  ? P::StubBeyondEnd
                      : cut == stub ? P::NoPayload
                                    : P::TitleCut,
                      r.layout.problem)
                << DescribeProblem(r.layout);
            EXPECT_TRUE(entry < 0 || complete || r.layout.problemEntry == entry) << DescribeProblem(r.layout);
            EXPECT_EQ(cut <= fieldAt[0] ? R::NoPayload
                      : complete        ? R::Complete
                                        : R::Truncated,
                      r.stub.result);
            EXPECT_TRUE(!complete ||
                        EntryFiles({entries.begin(), entries.begin() + r.layout.entryCount}) == r.stub.files);
        }
    }
}

// One bit flipped anywhere in a payload whose seal records its digest, on every copy road:
// neither the stub nor verify takes it as whole. Without the digest the stub takes a
// changed title or entry.
TEST(Readers, NoBitOfThePayloadChangesUnseenWhereTheSealRecordsItsDigest) {
    const int32_t stub = 100;
    const std::vector<std::string> entries = {PatternBytes(30, 1), "x", "",   "",
                                              PatternBytes(12, 5), "6", "7th"};
    const std::string stubBytes = Changed(PatternBytes(stub, 2), 10, SealBlock(stub, true));
    const std::string built = BuildInstaller(stubBytes, "Kelvane Suite", entries);
    const std::string sealed = WithSealedDigest(built, stub);
    ScratchDir dir;
    WriteFileBytes(dir / "kit.exe", sealed);
    CFileStream file;
    PayloadSeal seal;
    ASSERT_TRUE(file.Open((dir / "kit.exe").c_str(), CFileStream::modeRead) &&
                !FindSeal("kit.exe", file, -1, seal).Failed());
    ASSERT_TRUE(seal.hasDigest && seal.stubLength == stub);
    const Reading whole = ReadAll(sealed, seal);
    EXPECT_EQ(R::Complete, whole.stub.result) << DescribeProblem(whole.layout);
    EXPECT_EQ(EntryFiles(entries), whole.stub.files);
    EXPECT_EQ(seal.digest, whole.layout.digest);
    // The title, entry 7's length field made negative (its data goes unread), an entry.
    const size_t field7 = sealed.size() - 3 - LengthFieldDigits;
    for (size_t at : {size_t{stub + 3}, field7 + 9, size_t{stub + 55}}) {
        EXPECT_EQ(R::Complete, ReadAll(FlipBit(built, at, 2), {stub}).stub.result) << at;
    }
    for (size_t at = stub; at < sealed.size(); ++at) {
        SCOPED_TRACE("bit " + std::to_string(at % 8) + " of byte " + std::to_string(at));
        const Reading r = ReadAll(FlipBit(sealed, at, static_cast<int>(at % 8)), seal, at);
        EXPECT_NE(P::None, r.layout.problem);
        EXPECT_NE(R::Complete, r.stub.result);
    }
}

// What no packer writes: the stub reads it leniently, and verify names it.
TEST(Readers, VerifyNamesWhatTheStubReadsLeniently) {
    const std::string pe = PeStub(600, false), one = BuildInstaller(pe, "T", {"one"});
    const std::vector<std::string> seven = {"1", "2", "3", "4", "5", "6", "7"};
    // Fields of 0, -10, 4, 0 and 3; and 2^31, which is negative in 32 bits.
    const std::string lenient = one + LengthField(0) + Changed(LengthField(0), 9, {'\0'}) + LengthField(4) +
                                "four" + LengthField(0) + LengthField(3) + "end";
    const std::string tooLarge = Changed(LengthField(INT32_MAX), 9, "\x12");
    std::string signedStub = pe, signedSeven = BuildInstaller(pe, "T", seven) + "xyz";
    AppendCertificateTable(signedStub, 700);
    AppendCertificateTable(signedSeven, 700);
    const std::tuple<std::string, int32_t, P, R, std::vector<std::string>> cases[] = {
        {lenient, 600, P::BadField, R::Complete, {"one", "", "", "four", "", "end"}},
        {one + std::string(10, '\x13') + "data", 600, P::BadField, R::Truncated, {"one", "data"}}, // wraps
        {one + tooLarge + "data", 600, P::BadField, R::Truncated, {"one", ""}},
        {one + LengthField(INT32_MAX) + "data", 600, P::EntryCut, R::Truncated, {"one", "data"}},
        {signedSeven, 600, P::TrailingBytes, R::Complete, seven},
        {signedSeven + "after signing", 600, P::TableMisplaced, R::Complete, seven},
        {signedStub, 601, P::TableOverlaps, R::NoPayload, {}},
    };
    for (const auto& [image, stubLength, problem, result, written] : cases) {
        const Reading r = ReadAll(image, {stubLength});
        EXPECT_EQ(problem, r.layout.problem) << DescribeProblem(r.layout);
        EXPECT_EQ(result, r.stub.result) << DescribeProblem(r.layout);
        EXPECT_EQ(EntryFiles(written), r.stub.files) << DescribeProblem(r.layout);
    }
    EXPECT_EQ(
        "entry 3 (setup.aux): the length field (0a 0a 0a 0a 0a 0a 0a 0a 0a 00) is not a length from 0 to "
        "2147483647",
        DescribeProblem(ReadAll(lenient, {600}).layout));
}

TEST(Extract, LeavesTheTargetAsItWasAfterAnyFailure) {
    ScratchDir dir;
    const std::string out = dir / "out";
    const std::vector<std::string> entries = {"setup", "jar", "aux", "cls", "f", "r"};
    const std::string image = BuildInstaller(WriteSealedStub(dir / "stub.exe", 2000), "Title", entries);
    WriteFileBytes(dir / "kit.exe", image);
    ASSERT_TRUE(MakeDirectory(out));
    for (const char* name : {"Setup.exe", "Setup.jar", "setup.aux", "knxr.dat"}) {
        WriteFileBytes(out + "/" + name, std::string("mine: ") + name);
    }
    const std::tuple<std::string, int, std::string, std::function<void()>> cases[] = {
        {out + "/Setup.exe", ExitBadInput, "is the installer",
         [&] { WriteFileBytes(out + "/Setup.exe", image); }},
        {dir / "kit.exe", ExitIoError, "setup.cls: is a directory",
         [&] {
             WriteFileBytes(out + "/Setup.exe", "mine: Setup.exe");
             MakeDirectory(out + "/setup.cls");
         }},
    };
    CTerminalProgress progress(false);
    std::string warning;
    for (const auto& [installer, status, message, arrange] : cases) {
        arrange(); // undone by the next row's
        const Files before = ReadDirectory(out);
        CommandResult result = ExtractInstaller({installer, -1, out, false}, progress, warning);
        EXPECT_EQ(status, result.status);
        EXPECT_NE(std::string::npos, result.message.find(message)) << result.message;
        EXPECT_EQ(before, ReadDirectory(out)) << message;
    }
    std::filesystem::remove(out + "/setup.cls");
#ifdef _WIN32
    // Another program holds the fifth name without letting it be renamed: the four names
    // before it were already placed, and each gets its own file back, or its absence.
    WriteFileBytes(out + "/Setup.exe", "mine: Setup.exe");
    WriteFileBytes(out + "/knxf.dat", "held");
    const Files before = ReadDirectory(out);
    HANDLE held = CreateFileA((out + "/knxf.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CommandResult result = ExtractInstaller({dir / "kit.exe", -1, out, false}, progress, warning);
    CloseHandle(held);
    EXPECT_EQ(ExitIoError, result.status);
    EXPECT_NE(std::string::npos, result.message.find("knxf.dat")) << result.message;
    EXPECT_EQ(before, ReadDirectory(out));
    // A read-only file is replaced like any other.
    ASSERT_TRUE(SetFileAttributesA((out + "/setup.aux").c_str(), FILE_ATTRIBUTE_READONLY));
#endif
    // Once nothing stands in the way, every name holds its entry and the staging directory is gone.
    ASSERT_FALSE(ExtractInstaller({dir / "kit.exe", -1, out, false}, progress, warning).Failed());
    EXPECT_EQ(EntryFiles(entries), ReadDirectory(out));
}

} // namespace
