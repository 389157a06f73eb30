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

enum class DigestCheck {
    Matches,    // the file is as it was signed
    Mismatch,   // the file was changed after it was signed
    NotChecked, // no signature the system could check, or no system that checks them
};

// Asks the system whether a signed file still matches its Authenticode digest: no user
// interface, no revocation check, nothing fetched from the network. Whether the signer
// is trusted is not asked here. The stream's position is kept.
DigestCheck CheckSignatureDigest(CFileStream& file);

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
