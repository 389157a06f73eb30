// platform/system/posix/text.cpp: Windows code pages through iconv, which is used without
// //TRANSLIT, so it never substitutes a look-alike.
#include "platform/system/text.h"

#include <iconv.h>
#include <stdio.h>

#include <string>

namespace {

// iconv's name for a Windows code page.
std::string IconvName(unsigned codePage) {
    switch (codePage) {
    case 65001:
        return "UTF-8";
    case 20127:
        return "ASCII";
    }
    char name[16];
    snprintf(name, sizeof name, "CP%u", codePage);
    return name;
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

    // Converts all of the input; false on the first byte it cannot convert.
    bool Convert(const char* input, size_t length, CString& output) {
        std::string converted(length * 4 + 16, '\0');
        char* in = const_cast<char*>(input);
        size_t inLeft = length;
        char* out = &converted[0];
        size_t outLeft = converted.size();
        bool ok = iconv(m_cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
                  iconv(m_cd, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
        output = ok ? CString(converted.data(), static_cast<int>(converted.size() - outLeft)) : CString();
        return ok;
    }

  private:
    iconv_t m_cd;
};

} // namespace

bool ConvertFromUtf8(const char* utf8, size_t length, unsigned codePage, CString& text) {
    CIconv converter(IconvName(codePage), "UTF-8");
    return converter.IsOpen() && converter.Convert(utf8, length, text);
}

bool ConvertToUtf8(const char* text, size_t length, unsigned codePage, CString& utf8) {
    CIconv converter("UTF-8", IconvName(codePage));
    return converter.IsOpen() && converter.Convert(text, length, utf8);
}

bool IsKnownCodePage(unsigned codePage) { return CIconv(IconvName(codePage), "UTF-8").IsOpen(); }
