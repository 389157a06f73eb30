// tools/sfxpack/codepage_win32.cpp: Windows code pages through the system's own tables.
// WC_NO_BEST_FIT_CHARS keeps Windows from writing a look-alike ('A' for 'Ā') silently.
#include "platform/wintypes.h"
#include "tools/sfxpack/title.h"

namespace {

// Converts one UTF-8 character; false when the code page has no equivalent for it.
bool EncodeCharacter(const char* utf8, int length, UINT codePage, std::string& encoded) {
    wchar_t wide[2];
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, length, wide, 2);
    if (units <= 0) {
        return false;
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    int count = codePage == CP_UTF8
                    ? WideCharToMultiByte(codePage, 0, wide, units, bytes, sizeof bytes, nullptr, nullptr)
                    : WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, units, bytes, sizeof bytes,
                                          nullptr, &usedDefault);
    if (count <= 0 || usedDefault) {
        return false;
    }
    encoded.append(bytes, static_cast<size_t>(count));
    return true;
}

} // namespace

CodePageStatus EncodeInCodePage(const std::string& utf8, unsigned codePage, std::string& encoded,
                                size_t& failedAt) {
    if (!IsValidCodePage(codePage)) {
        return CodePageStatus::UnknownCodePage;
    }
    std::vector<Utf8Char> chars;
    size_t bad = 0;
    if (!SplitUtf8(utf8, chars, bad)) {
        failedAt = bad;
        return CodePageStatus::Unrepresentable;
    }
    encoded.clear();
    // One character at a time, so that a refusal can name the character.
    for (const Utf8Char& ch : chars) {
        if (!EncodeCharacter(utf8.data() + ch.offset, static_cast<int>(ch.length), codePage, encoded)) {
            failedAt = ch.offset;
            return CodePageStatus::Unrepresentable;
        }
    }
    return CodePageStatus::Ok;
}

bool DecodeFromCodePage(const std::string& text, unsigned codePage, std::string& utf8) {
    if (text.empty()) {
        utf8.clear();
        return true;
    }
    int units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) {
        return false;
    }
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0],
                        units);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    utf8.assign(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &utf8[0], length, nullptr, nullptr);
    return true;
}
