// platform/system/portable/text.cpp: the 8-bit names of paths, which on POSIX are the
// paths themselves, unless a test makes the code page one that cannot write them.
#include "platform/system/text.h"

#include <unistd.h>

#include "platform/system/portable/control.h"

namespace {

bool g_asciiCodePage = false;

} // namespace

void PortableSetAsciiCodePage(bool ascii) { g_asciiCodePage = ascii; }

bool GetAnsiPath(const char* utf8Path, CString& ansiPath) {
    ansiPath = utf8Path;
    bool outsideCodePage = false;
    for (int i = 0; i < ansiPath.GetLength(); ++i) {
        if (g_asciiCodePage && static_cast<unsigned char>(ansiPath.GetAt(i)) >= 0x80) {
            ansiPath.SetAt(i, '?');
            outsideCodePage = true;
        }
    }
    // As on Windows: a path that names nothing keeps its '?', an existing one has no name.
    return !outsideCodePage || access(utf8Path, F_OK) != 0;
}
