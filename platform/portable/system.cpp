// platform/portable/system.cpp: the outside view of the portable process: the command
// line, the module path, the environment and the 8-bit names of paths.
#include "platform/system.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/portable/control.h"

namespace {

CString g_commandLine;
CString g_modulePath;
bool g_modulePathSet = false;
bool g_asciiCodePage = false;
// Only Windows checks Authenticode signatures: a test says what it would answer.
SignatureCheck g_trustAnswer = SignatureCheck::Intact;

} // namespace

CString GetCommandLineUtf8() { return g_commandLine; }

void PortableSetCommandLine(const char* commandLine) { g_commandLine = commandLine; }

void PortableSetModulePath(const char* path) {
    g_modulePath = path;
    g_modulePathSet = true;
}

SignatureCheck CheckSignatureDigest(CFileStream&) { return g_trustAnswer; }

void PortableSetTrustAnswer(SignatureCheck answer) { g_trustAnswer = answer; }

void PortableSetAsciiCodePage(bool ascii) { g_asciiCodePage = ascii; }

CString GetModulePath() {
    if (g_modulePathSet) {
        return g_modulePath;
    }
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 ? CString(buffer, static_cast<int>(length)) : CString();
}

bool GetEnvironmentUtf8(const char* name, CString& value) {
    const char* text = getenv(name);
    if (text == nullptr || *text == '\0') {
        return false;
    }
    value = text;
    return true;
}

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
