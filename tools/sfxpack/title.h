// tools/sfxpack/title.h: the installer title between the author's UTF-8 and the title
// field, which holds it in a Windows code page, padded with blanks.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tools/sfxpack/cli.h"

constexpr unsigned DefaultCodePage = 1252;

// Encodes a UTF-8 title into the TitleFieldLength bytes of the field. Refuses (ExitBadInput)
// text that is not UTF-8, holds a control character, has a character the code page cannot
// represent, or does not fit; an unknown code page is a usage error.
CommandResult EncodeTitle(const std::string& utf8, unsigned codePage, std::string& field);

// The field as UTF-8 for display, trailing blanks kept; when the bytes are not text in
// that code page, bytes outside ASCII are shown as \xNN.
std::string DecodeTitle(const std::string& field, unsigned codePage);

struct Utf8Char {
    uint32_t codePoint;
    size_t offset; // in bytes, within the text
    size_t length; // in bytes
};

// Splits UTF-8 text into characters; false (with offset of the bad byte) when it is not
// well-formed UTF-8.
bool SplitUtf8(const std::string& text, std::vector<Utf8Char>& chars, size_t& badOffset);

// --- Code page conversion, per system (codepage_iconv.cpp, codepage_win32.cpp) -------

enum class CodePageStatus { Ok, UnknownCodePage, Unrepresentable };

// Converts well-formed UTF-8 into codePage, with no best-fit substitutes; on
// Unrepresentable, failedAt is the byte offset of the first character without an equivalent.
CodePageStatus EncodeInCodePage(const std::string& utf8, unsigned codePage, std::string& encoded,
                                size_t& failedAt);
// Converts text in codePage into UTF-8; false when it is not valid text there.
bool DecodeFromCodePage(const std::string& text, unsigned codePage, std::string& utf8);
