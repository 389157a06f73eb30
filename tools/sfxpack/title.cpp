// tools/sfxpack/title.cpp: checking, encoding and padding the installer title.
#include "tools/sfxpack/title.h"

#include "engine/payload.h"
#include "platform/system/text.h"

namespace {

// C0 controls, DEL and the C1 controls: none belongs in a window title.
bool IsControlCharacter(uint32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// One character at text[at]: its code point and length, or false when malformed
// (overlong forms, surrogates and values beyond U+10FFFF included).
bool DecodeUtf8Char(const std::string& text, size_t at, Utf8Char& ch) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80             ? 1
                    : (lead & 0xE0) == 0xC0 ? 2
                    : (lead & 0xF0) == 0xE0 ? 3
                    : (lead & 0xF8) == 0xF0 ? 4
                                            : 0;
    if (length == 0 || at + length > text.size()) {
        return false;
    }
    static const uint32_t LeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    static const uint32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t codePoint = lead & LeadMask[length];
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[at + k]);
        if (!IsContinuation(next)) {
            return false;
        }
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    if (codePoint < Smallest[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return false;
    }
    ch = {codePoint, at, length};
    return true;
}

std::string EscapeNonAscii(const std::string& bytes) {
    std::string shown;
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        shown += byte >= 0x80 ? FormatText("\\x%02X", byte) : std::string(1, c);
    }
    return shown;
}

} // namespace

bool SplitUtf8(const std::string& text, std::vector<Utf8Char>& chars, size_t& badOffset) {
    chars.clear();
    for (size_t at = 0; at < text.size();) {
        Utf8Char ch;
        if (!DecodeUtf8Char(text, at, ch)) {
            badOffset = at;
            return false;
        }
        chars.push_back(ch);
        at += ch.length;
    }
    return true;
}

CommandResult EncodeTitle(const std::string& utf8, unsigned codePage, std::string& field) {
    std::vector<Utf8Char> chars;
    size_t bad = 0;
    if (!SplitUtf8(utf8, chars, bad)) {
        return Fail(ExitBadInput, "title is not valid UTF-8 (byte 0x%02X at offset %zu)",
                    static_cast<unsigned char>(utf8[bad]), bad);
    }
    for (size_t i = 0; i < chars.size(); ++i) {
        if (IsControlCharacter(chars[i].codePoint)) {
            return Fail(ExitBadInput, "title holds the control character U+%04X (character %zu)",
                        chars[i].codePoint, i + 1);
        }
    }
    if (!IsKnownCodePage(codePage)) {
        return FailUsage("build", "code page %u is not known on this system", codePage);
    }
    CString encoded;
    if (!ConvertFromUtf8(utf8.data(), utf8.size(), codePage, encoded)) {
        // The conversion names no culprit: the first character that fails alone is it.
        for (const Utf8Char& ch : chars) {
            if (!ConvertFromUtf8(utf8.data() + ch.offset, ch.length, codePage, encoded)) {
                return Fail(ExitBadInput,
                            "title character '%s' (U+%04X) cannot be represented in code page %u",
                            utf8.substr(ch.offset, ch.length).c_str(), ch.codePoint, codePage);
            }
        }
        return Fail(ExitBadInput, "title cannot be represented in code page %u", codePage);
    }
    if (encoded.GetLength() > TitleFieldLength) {
        return Fail(ExitBadInput, "title is %d bytes in code page %u, but the title field holds %d",
                    encoded.GetLength(), codePage, TitleFieldLength);
    }
    field.assign(encoded.GetString(), static_cast<size_t>(encoded.GetLength()));
    field.resize(TitleFieldLength, ' ');
    return Succeed();
}

std::string DecodeTitle(const std::string& field, unsigned codePage) {
    CString utf8;
    if (ConvertToUtf8(field.data(), field.size(), codePage, utf8)) {
        return std::string(utf8.GetString(), static_cast<size_t>(utf8.GetLength()));
    }
    return EscapeNonAscii(field);
}
