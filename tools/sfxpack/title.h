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
