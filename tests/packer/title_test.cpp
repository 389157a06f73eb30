// tests/packer/title_test.cpp: the title from UTF-8 into a code page and back, and the
// titles that are refused, with the reason they are.
#include <gtest/gtest.h>

#include "tools/sfxpack/title.h"

namespace {

std::string Padded(const std::string& bytes) { return bytes + std::string(40 - bytes.size(), ' '); }

std::string Encode(const std::string& utf8, unsigned codePage) {
    std::string field;
    CommandResult result = EncodeTitle(utf8, codePage, field);
    EXPECT_FALSE(result.Failed()) << result.message;
    return field;
}

CommandResult Refusal(const std::string& utf8, unsigned codePage = 1252) {
    std::string field = "untouched";
    CommandResult result = EncodeTitle(utf8, codePage, field);
    EXPECT_EQ("untouched", field) << "a refused title leaves the field alone";
    return result;
}

TEST(Title, IsStoredInTheCodePagePaddedWithBlanks) {
    EXPECT_EQ(Padded("Kelvane Pro"), Encode("Kelvane Pro", 1252));
    EXPECT_EQ(std::string(40, ' '), Encode("", 1252));
    EXPECT_EQ(Padded("Caf\xE9 \x80"), Encode("Café €", 1252));
    EXPECT_EQ(Padded("Caf\x82"), Encode("Café", 437));
    EXPECT_EQ(Padded("\x93\xFA\x96\x7B"), Encode("日本", 932)); // Shift-JIS
    EXPECT_EQ(Padded("Café"), Encode("Café", 65001));
    // Exactly 40 bytes fit: 38 letters and "é" are 39 bytes in 1252, 40 in UTF-8.
    std::string fits = std::string(38, 'x') + "é";
    EXPECT_EQ(std::string(38, 'x') + "\xE9 ", Encode(fits, 1252));
    EXPECT_EQ(std::string(38, 'x') + "é", Encode(fits, 65001));
}

TEST(Title, RefusesWhatTheFieldCannotHoldSayingWhy) {
    CommandResult tooLong = Refusal(std::string(41, 'x'));
    EXPECT_EQ(ExitBadInput, tooLong.status);
    EXPECT_EQ("title is 41 bytes in code page 1252, but the title field holds 40", tooLong.message);
    // Fits in one code page but not in another.
    EXPECT_NE(std::string::npos, Refusal(std::string(39, 'x') + "é", 65001).message.find("41 bytes"));

    // No best fit: Windows would otherwise store 'A' for it.
    CommandResult notThere = Refusal("Āpple");
    EXPECT_EQ(ExitBadInput, notThere.status);
    EXPECT_EQ("title character 'Ā' (U+0100) cannot be represented in code page 1252", notThere.message);
    EXPECT_NE(std::string::npos, Refusal("Price €", 437).message.find("'€' (U+20AC)"));
    EXPECT_NE(std::string::npos, Refusal("日本", 1252).message.find("U+65E5"));

    for (const char* control : {"tab\there", "line\nbreak", "del\x7f", "nul\xc2\x85", "bell\a"}) {
        CommandResult result = Refusal(control);
        EXPECT_EQ(ExitBadInput, result.status) << control;
        EXPECT_NE(std::string::npos, result.message.find("control character")) << result.message;
    }
    EXPECT_EQ("title holds the control character U+0009 (character 4)", Refusal("tab\there").message);

    for (const char* broken : {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "cut \xE2\x82"}) {
        CommandResult result = Refusal(broken);
        EXPECT_EQ(ExitBadInput, result.status) << broken;
        EXPECT_NE(std::string::npos, result.message.find("not valid UTF-8")) << result.message;
    }

    CommandResult unknown = Refusal("Title", 60000);
    EXPECT_EQ(ExitUsage, unknown.status);
    EXPECT_NE(std::string::npos, unknown.message.find("code page 60000"));
}

TEST(Title, DecodesForDisplayAndEscapesWhatIsNoText) {
    // The blanks stay as stored: as many as the field had.
    EXPECT_EQ("Café €" + std::string(34, ' '), DecodeTitle(Padded("Caf\xE9 \x80"), 1252));
    EXPECT_EQ("Café" + std::string(36, ' '), DecodeTitle(Padded("Caf\x82"), 437));
    EXPECT_EQ("日本" + std::string(36, ' '), DecodeTitle(Padded("\x93\xFA\x96\x7B"), 932));
    // A lone Shift-JIS lead byte is no text in that code page.
    EXPECT_EQ("ab\\x93" + std::string(37, ' '), DecodeTitle(Padded("ab\x93"), 932));
}

} // namespace
