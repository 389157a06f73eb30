// platform/system.h: what the program asks the operating system about itself, and the
// names under which the 8-bit file functions reach files that Windows names in UTF-16.
#pragma once

#include "platform/cstring.h"
#include "platform/file.h"
#include "platform/wintypes.h"

// Texts that Windows keeps in UTF-16 come out as UTF-8, so that a name outside the
// system code page passes through the 8-bit engine whole; GetAnsiPath makes them names
// for the file functions. The portable backend's texts are UTF-8 already.

// The program's command line, read in UTF-16 (GetCommandLineW).
CString GetCommandLineUtf8();

// The running program's own file, as the loader found it; the one reader of it on
// Windows is GetModulePathW.
CString GetModulePath();

// The value of an environment variable, read in UTF-16; false when it is unset or empty.
bool GetEnvironmentUtf8(const char* name, CString& value);

// The name under which the system's 8-bit (ANSI) functions reach the file or folder at
// utf8Path: the name itself when the system code page can write it, otherwise the short
// (8.3) name of the existing file or folder. A path that names nothing comes back with
// '?' for what the code page lacks, which names no file either, so the 8-bit call fails
// as it would for any missing file. False when the file or folder exists but neither
// name can be written in the code page (short names are off on its volume).
bool GetAnsiPath(const char* utf8Path, CString& ansiPath);

enum class SignatureCheck {
    Unsigned,   // the security entry is all zeros: nothing to check
    Intact,     // the system found the file as signed (the publisher is for it to judge)
    Damaged,    // a signature claimed, and the file is not as signed, or not readable as such
    Distrusted, // as signed, but its publisher is explicitly distrusted on this system
};

// Asks the system whether a signed file is as it was signed: no user interface, no
// revocation check, nothing fetched from the network. Answers about the signer's
// certificate chain (an unknown root, an expired certificate) count as Intact: whether
// to trust the publisher is the system's question, not the installer's. A distrusted
// publisher or a revoked certificate counts as Distrusted; every other answer, and a
// system that cannot answer, as Damaged. The stream's position is kept.
SignatureCheck CheckSignatureDigest(CFileStream& file);
#ifdef _WIN32
// What one answer of WinVerifyTrust means, as CheckSignatureDigest judges it.
SignatureCheck JudgeTrustAnswer(DWORD status);
#endif

#ifdef _WIN32
// From now on the program loads DLLs from the system directory only, never from beside
// itself, where a downloaded file may have been planted. Does nothing on Windows versions
// that cannot be told so; LoadSystemLibrary is safe there too.
void RestrictDllSearchToSystem();

// Loads a DLL by its full path in the system directory; nullptr when that fails.
HMODULE LoadSystemLibrary(const char* name);

// The running program's own file, as the loader found it, in a buffer the caller frees:
// empty when the path does not fit the longest Windows path; nullptr without memory.
wchar_t* GetModulePathW();

// UTF-16 text as UTF-8.
CString Utf8FromWide(const wchar_t* wide);

// A UTF-8 path in the system code page, as the 8-bit file functions take it; false when
// the code page cannot write it. Unlike GetAnsiPath, no short name stands in: for tools
// whose paths may name files yet to be made.
bool GetCodePagePath(const char* utf8Path, CString& ansiPath);
#endif
