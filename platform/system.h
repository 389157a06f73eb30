// platform/system.h: what the program asks the operating system about itself.
// GetCommandLineA comes from platform/wintypes.h on both backends.
#pragma once

#include "platform/cstring.h"
#include "platform/file.h"
#include "platform/wintypes.h"

// The running program's own file, as the loader found it.
CString GetModulePath();

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
#endif
