// platform/portable/system.cpp: the outside view of the portable process: the command
// line, the module path and the host directory standing for a drive root.
#include "platform/system.h"

#include <limits.h>
#include <unistd.h>

#include "platform/portable/control.h"

namespace {

CString g_commandLine;
CString g_modulePath;
bool g_modulePathSet = false;
CString g_driveRoot;
bool g_hostPaths = false;

bool IsDriveLetter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }

} // namespace

char* GetCommandLineA() { return const_cast<char*>(g_commandLine.GetString()); }

void PortableSetCommandLine(const char* commandLine) { g_commandLine = commandLine; }

void PortableSetModulePath(const char* path) {
    g_modulePath = path;
    g_modulePathSet = true;
}

void PortableSetDriveRoot(const char* hostDirectory) { g_driveRoot = hostDirectory; }

void PortableSetHostPaths(bool hostPaths) { g_hostPaths = hostPaths; }

// Only Windows checks Authenticode signatures.
DigestCheck CheckSignatureDigest(CFileStream&) { return DigestCheck::NotChecked; }

CString GetModulePath() {
    if (g_modulePathSet) {
        return g_modulePath;
    }
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 ? CString(buffer, static_cast<int>(length)) : CString();
}

CString PortableHostPath(const char* path) {
    if (g_hostPaths) {
        return CString(path);
    }
    CString windowsPath(path);
    const char* rest = windowsPath;
    CString host;
    bool driveRelative = false;
    if (IsDriveLetter(rest[0]) && rest[1] == ':') {
        rest += 2;
        driveRelative = true;
    }
    if (rest[0] == '\\' || driveRelative) {
        host = g_driveRoot.IsEmpty() ? CString("/") : g_driveRoot + "/";
    }
    CString mapped(rest);
    for (int i = 0; i < mapped.GetLength(); ++i) {
        if (mapped.GetAt(i) == '\\') {
            mapped.SetAt(i, '/');
        }
    }
    return host + mapped;
}
