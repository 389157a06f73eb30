// platform/system/library.h: loading DLLs from the system directory only, never from
// beside the program, where a downloaded file may have been planted. Windows only.
#pragma once

#include "platform/wintypes.h"

// From now on the program loads DLLs from the system directory only. Does nothing on
// Windows versions that cannot be told so; LoadSystemLibrary is safe there too.
void RestrictDllSearchToSystem();

// Loads a DLL by its full path in the system directory; nullptr when that fails.
HMODULE LoadSystemLibrary(const char* name);
