// fuzz/payload_reader_fuzz.cpp: any bytes as an installer, read as list and verify do.
// Entries must lie inside the payload and hold no more than declared, a complete payload
// must account for every byte up to its end (a signature's padding aside), and the
// problem and the JSON listing must be well-formed.
#include <string.h>

#include "fuzz/fuzz_support.h"
#include "tools/sfxpack/inspect.h"

namespace {

// A minimal JSON checker: true when text[at...] starts with one well-formed value.
class CJsonChecker {
  public:
    explicit CJsonChecker(const std::string& text) : m_text(text) {}

    bool IsDocument() { return Value() && (SkipBlanks(), m_at == m_text.size()); }

  private:
    void SkipBlanks() {
        while (m_at < m_text.size() && strchr(" \n\r\t", m_text[m_at]) != nullptr) {
            ++m_at;
        }
    }
    bool Take(char c) {
        SkipBlanks();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(const char* word) {
        size_t length = strlen(word);
        if (m_text.compare(m_at, length, word) != 0) {
            return false;
        }
        m_at += length;
        return true;
    }
    bool String() {
        if (!Take('"')) {
            return false;
        }
        while (m_at < m_text.size() && m_text[m_at] != '"') {
            unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c < 0x20) {
                return false;
            }
            if (c == '\\' && (m_at >= m_text.size() || strchr("\"\\/bfnrtu", m_text[m_at++]) == nullptr)) {
                return false;
            }
        }
        return Take('"');
    }
    bool Number() {
        size_t start = m_at;
        while (m_at < m_text.size() &&
               (isdigit(static_cast<unsigned char>(m_text[m_at])) || m_text[m_at] == '-')) {
            ++m_at;
        }
        return m_at > start;
    }
    // Items of an object (keyed) or array up to the closing bracket.
    bool Items(char close, bool keyed) {
        if (Take(close)) {
            return true;
        }
        do {
            if (keyed && !(String() && Take(':'))) {
                return false;
            }
            if (!Value()) {
                return false;
            }
        } while (Take(','));
        return Take(close);
    }
    bool Value() {
        SkipBlanks();
        if (Take('{')) {
            return Items('}', true);
        }
        if (Take('[')) {
            return Items(']', false);
        }
        if (m_at < m_text.size() && m_text[m_at] == '"') {
            return String();
        }
        return Word("true") || Word("false") || Word("null") || Number();
    }

    const std::string& m_text;
    size_t m_at = 0;
};

void CheckLayout(const PayloadLayout& layout) {
    Require(layout.entryCount >= 0 && layout.entryCount <= PayloadEntryCount, "at most seven entries");
    int64_t expected = static_cast<int64_t>(layout.stubLength) + TitleFieldLength + LengthFieldDigits;
    for (int k = 0; k < layout.entryCount; ++k) {
        const LayoutEntry& entry = layout.entries[k];
        Require(entry.offset == expected, "each entry follows its length field and the entry before");
        Require(entry.available >= 0 && entry.available <= entry.declared,
                "no entry holds more than it declares");
        Require(entry.offset + entry.available <= layout.bounds.end, "every entry lies inside the payload");
        expected = entry.offset + entry.declared + LengthFieldDigits;
    }
    if (layout.IsComplete()) {
        Require(layout.entryCount >= RequiredEntryCount, "a complete payload has six or seven entries");
        const LayoutEntry& last = layout.entries[layout.entryCount - 1];
        const int64_t rest = layout.bounds.end - (last.offset + last.declared);
        Require(rest == 0 || (layout.bounds.signature == Signature::AtEnd && rest > 0 && rest < 8),
                "a complete payload ends at the payload's end, or at a signature's padding");
    }
    std::string problem = DescribeProblem(layout);
    Require(problem.empty() == layout.IsComplete(), "a problem is described exactly when there is one");
    Require(problem.find('\n') == std::string::npos, "a problem is one line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = FuzzScratchDirectory() + "/reader-input.exe";
    WriteWholeFile(path, data, size);
    CFileStream file;
    Require(file.Open(path.c_str(), CFileStream::modeRead), "the input opens");
    PayloadLayout layout;
    ReadPayloadLayout(file, FuzzStubLength(data, size), layout);
    CheckLayout(layout);

    // The title as code page 1252 text, and as Shift-JIS, where bytes can be no text.
    for (unsigned codePage : {1252u, 932u}) {
        std::string json = FormatListing(layout, path, codePage, true);
        Require(CJsonChecker(json).IsDocument(), "the JSON listing is well-formed");
        std::string table = FormatListing(layout, path, codePage, false);
        Require(!table.empty() && table.back() == '\n', "the table ends its last line");
    }
    return 0;
}
