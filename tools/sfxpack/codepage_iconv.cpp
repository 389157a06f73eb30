// tools/sfxpack/codepage_iconv.cpp: Windows code pages through iconv, for sfxpack on
// systems other than Windows. iconv is used without //TRANSLIT, so it never substitutes.
#include <errno.h>
#include <iconv.h>

#include "tools/sfxpack/title.h"

namespace {

// iconv's name for a Windows code page.
std::string IconvName(unsigned codePage) {
    switch (codePage) {
    case 65001:
        return "UTF-8";
    case 20127:
        return "ASCII";
    default:
        return FormatText("CP%u", codePage);
    }
}

// One conversion descriptor, closed when it goes.
class CIconv {
  public:
    CIconv(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~CIconv() {
        if (IsOpen()) {
            iconv_close(m_cd);
        }
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; false on the first input it cannot convert, with
    // *consumed the bytes of input converted before it.
    bool Convert(const std::string& input, std::string& output, size_t* consumed) {
        output.assign(input.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char* out = &output[0];
        size_t outLeft = output.size();
        size_t result = iconv(m_cd, &in, &inLeft, &out, &outLeft);
        bool ok = result != static_cast<size_t>(-1) &&
                  iconv(m_cd, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
        output.resize(output.size() - outLeft);
        *consumed = input.size() - inLeft;
        return ok;
    }

  private:
    iconv_t m_cd;
};

} // namespace

CodePageStatus EncodeInCodePage(const std::string& utf8, unsigned codePage, std::string& encoded,
                                size_t& failedAt) {
    CIconv converter(IconvName(codePage), "UTF-8");
    if (!converter.IsOpen()) {
        return CodePageStatus::UnknownCodePage;
    }
    if (!converter.Convert(utf8, encoded, &failedAt)) {
        return CodePageStatus::Unrepresentable;
    }
    return CodePageStatus::Ok;
}

bool DecodeFromCodePage(const std::string& text, unsigned codePage, std::string& utf8) {
    CIconv converter("UTF-8", IconvName(codePage));
    size_t consumed = 0;
    return converter.IsOpen() && converter.Convert(text, utf8, &consumed);
}
