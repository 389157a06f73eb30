// platform/system.h: what the program asks the operating system about itself.
// GetCommandLineA comes from platform/wintypes.h on both backends.
#pragma once

#include "platform/cstring.h"
#include "platform/wintypes.h"

// The running program's own file, as the loader found it.
CString GetModulePath();

#ifdef _WIN32
// From now on the program loads DLLs from the system directory only, never from beside
// itself, where a downloaded file may have been planted. Does nothing on Windows versions
// that cannot be told so; LoadSystemLibrary is safe there too.
void RestrictDllSearchToSystem();

// Loads a DLL by its full path in the system directory; nullptr when that fails.
HMODULE LoadSystemLibrary(const char* name);
#endif
