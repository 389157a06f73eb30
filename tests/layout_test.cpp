// tests/layout_test.cpp: the fixed parts of the layout: length fields, the title field,
// stream lengths and the program path on the command line.
#include <gtest/gtest.h>

#include "engine/payload.h"
#include "tests/support.h"

namespace {

int32_t Decode(std::initializer_list<unsigned> bytes) {
    unsigned char field[LengthFieldDigits];
    size_t i = 0;
    for (unsigned byte : bytes) {
        field[i++] = static_cast<unsigned char>(byte);
    }
    return DecodeEntryLength(field);
}

// A scratch file holding the given bytes, opened for reading.
struct OpenedFile {
    explicit OpenedFile(const std::string& bytes) {
        WriteFileBytes(dir / "file.bin", bytes);
        opened = stream.Open((dir / "file.bin").c_str(), CFileStream::modeRead);
    }
    ScratchDir dir;
    CFileStream stream;
    bool opened = false;
};

TEST(LengthField, DecodesDigitsStoredAsBytePlusTen) {
    EXPECT_EQ(1024, Decode({0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0B, 0x0A, 0x0C, 0x0E}));
    EXPECT_EQ(0, Decode({0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A}));
    EXPECT_EQ(2147483647, Decode({0x0C, 0x0B, 0x0E, 0x11, 0x0E, 0x12, 0x0D, 0x10, 0x0E, 0x11}));
}

TEST(LengthField, BytesOutsideTheDigitRangeCountWithTheirValue) {
    // 0x00 in the last place is the digit -10; 0xFF is 245.
    EXPECT_EQ(-10, Decode({0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x00}));
    EXPECT_EQ(245, Decode({0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0xFF}));
    EXPECT_EQ(2450, Decode({0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0xFF, 0x0A}));
}

TEST(LengthField, WrapsLike32BitArithmetic) {
    // 2147483648 and 9999999999 do not fit: they wrap modulo 2^32.
    EXPECT_EQ(INT32_MIN, Decode({0x0C, 0x0B, 0x0E, 0x11, 0x0E, 0x12, 0x0D, 0x10, 0x0E, 0x12}));
    EXPECT_EQ(1410065407, Decode({0x13, 0x13, 0x13, 0x13, 0x13, 0x13, 0x13, 0x13, 0x13, 0x13}));
    EXPECT_EQ(-1294967296, Decode({0x0D, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A}));
}

TEST(LengthField, EncodingRoundTrips) {
    for (int32_t value : {0, 1, 9, 10, 1024, 35328, 999999999, 1000000000, INT32_MAX}) {
        unsigned char field[LengthFieldDigits];
        EncodeEntryLength(value, field);
        EXPECT_EQ(value, DecodeEntryLength(field)) << value;
        for (unsigned char byte : field) {
            EXPECT_TRUE(byte >= 0x0A && byte <= 0x13) << value;
        }
    }
}

TEST(ReadEntryLength, ReadsTenBytesAndShortFieldsCountAsZero) {
    OpenedFile file(LengthField(1024) + LengthField(7) + "\x0A\x0A\x0B");
    ASSERT_TRUE(file.opened);
    EXPECT_EQ(1024, ReadEntryLength(file.stream));
    EXPECT_EQ(10, file.stream.GetPosition());
    EXPECT_EQ(7, ReadEntryLength(file.stream));
    EXPECT_EQ(0, ReadEntryLength(file.stream));
}

TEST(ReadTitleField, KeepsEveryByteAndPadsPastTheEndWithBlanks) {
    std::string title("Product\0Name", 12);
    title += std::string(28, ' ');
    OpenedFile file(title + "after");
    ASSERT_TRUE(file.opened);
    CString read = ReadTitleField(file.stream);
    EXPECT_EQ(40, read.GetLength());
    EXPECT_EQ(title, std::string(read.GetString(), read.GetLength()));
    EXPECT_EQ(40, file.stream.GetPosition());

    OpenedFile shortFile("Short");
    CString padded = ReadTitleField(shortFile.stream);
    EXPECT_EQ("Short" + std::string(35, ' '), std::string(padded.GetString(), padded.GetLength()));
}

TEST(GetStreamLength, KeepsThePosition) {
    OpenedFile file(std::string(5000, 'x'));
    ASSERT_TRUE(file.opened);
    char buffer[1234];
    ASSERT_EQ(sizeof buffer, file.stream.Read(buffer, sizeof buffer));
    EXPECT_EQ(5000, GetStreamLength(file.stream));
    EXPECT_EQ(1234, file.stream.GetPosition());
}

TEST(ParseProgramPath, TakesTheFirstTokenOfTheCommandLine) {
    EXPECT_STREQ("C:\\Program Files\\Setup Kit\\install.exe",
                 ParseProgramPath("\"C:\\Program Files\\Setup Kit\\install.exe\" /quiet"));
    EXPECT_STREQ("C:\\Downloads\\install.exe", ParseProgramPath("C:\\Downloads\\install.exe /quiet now"));
    EXPECT_STREQ("install.exe", ParseProgramPath("install.exe"));
    EXPECT_STREQ("", ParseProgramPath(""));
}

TEST(ParseProgramPath, OnlyAQuotePairOrABlankEndsThePath) {
    EXPECT_STREQ("", ParseProgramPath("\"C:\\No Closing\\install.exe /x")); // no second quote
    EXPECT_STREQ("", ParseProgramPath(" install.exe"));                     // leading blank
    EXPECT_STREQ("a\tb", ParseProgramPath("a\tb c"));                       // a tab does not separate
    EXPECT_STREQ("", ParseProgramPath("\"\" rest"));
}

} // namespace

// --- Where the payload ends -----------------------------------------------------------

class PayloadBoundsTest : public ::testing::TestWithParam<bool> {
  protected:
    PayloadBounds Bounds(const std::string& image) {
        OpenedFile file(image);
        EXPECT_TRUE(file.opened);
        return FindPayloadBounds(file.stream);
    }
    std::string Signed() const {
        std::string image = BuildInstaller(PeStub(1500, GetParam()), "Title", {"abc"});
        AppendCertificateTable(image, 600);
        return image;
    }
    void SetEntry(std::string& image, uint32_t offset, uint32_t size) const {
        size_t at = SecurityEntryOffset(image);
        for (int i = 0; i < 4; ++i) {
            image[at + i] = static_cast<char>(offset >> (8 * i));
            image[at + 4 + i] = static_cast<char>(size >> (8 * i));
        }
    }
};

TEST_P(PayloadBoundsTest, ATableEndingTheFileEndsThePayload) {
    const std::string image = Signed();
    PayloadBounds bounds = Bounds(image);
    EXPECT_EQ(Signature::AtEnd, bounds.signature);
    EXPECT_EQ(static_cast<int64_t>(image.size()), bounds.fileLength);
    EXPECT_EQ(static_cast<int64_t>(image.size() - 600), bounds.end);
    EXPECT_EQ(bounds.end, bounds.tableOffset);
    EXPECT_EQ(static_cast<int64_t>(SecurityEntryOffset(image)), bounds.directoryOffset);

    const std::string unsignedImage = BuildInstaller(PeStub(1500, GetParam()), "Title", {"abc"});
    EXPECT_EQ(Signature::None, Bounds(unsignedImage).signature);
    EXPECT_EQ(static_cast<int64_t>(unsignedImage.size()), Bounds(unsignedImage).end);
}

TEST_P(PayloadBoundsTest, ATableElsewhereIsMisplacedAndTheWholeFileIsPayload) {
    const std::string image = Signed();
    const uint32_t length = static_cast<uint32_t>(image.size());
    struct Case {
        const char* what;
        uint32_t offset;
        uint32_t size;
        std::string appended;
    } cases[] = {
        {"bytes appended after signing", length - 600, 600, "more"},
        {"offset past the end", length + 8, 600, ""},
        {"size overflowing 32 bits", length - 600, 0xFFFFFF00u, ""},
        {"table shorter than its own header", length - 4, 4, ""},
    };
    for (const Case& c : cases) {
        std::string changed = image + c.appended;
        SetEntry(changed, c.offset, c.size);
        PayloadBounds bounds = Bounds(changed);
        EXPECT_EQ(Signature::Misplaced, bounds.signature) << c.what;
        EXPECT_EQ(static_cast<int64_t>(changed.size()), bounds.end) << c.what;
    }
}

TEST_P(PayloadBoundsTest, AHeaderThatDoesNotHoldUpIsUnsigned) {
    const std::string image = Signed();
    const size_t optional = 0x80 + 24;
    const size_t directoryCount = optional + (GetParam() ? 108 : 92);
    struct Case {
        const char* what;
        size_t at;
        std::string bytes;
    } cases[] = {
        {"no MZ", 0, "ZM"},
        {"PE header beyond the end", 0x3C, "\xF0\xFF\xFF\x7F"},
        {"no PE signature", 0x80, "NE"},
        {"unknown optional header", optional, "\x07\x01"},
        {"optional header too short for the entry", 0x80 + 4 + 16, std::string("\x60\x00", 2)},
        {"only four data directories", directoryCount, std::string("\x04\x00\x00\x00", 4)},
    };
    for (const Case& c : cases) {
        std::string changed = image;
        changed.replace(c.at, c.bytes.size(), c.bytes);
        PayloadBounds bounds = Bounds(changed);
        EXPECT_EQ(Signature::None, bounds.signature) << c.what;
        EXPECT_EQ(static_cast<int64_t>(changed.size()), bounds.end) << c.what;
    }
    // Every prefix of the headers: never read outside the file, never signed.
    for (size_t cut = 0; cut < 0x80 + 24 + 240; ++cut) {
        EXPECT_NE(Signature::AtEnd, Bounds(image.substr(0, cut)).signature) << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, PayloadBoundsTest, ::testing::Bool());
