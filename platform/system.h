// platform/system.h: what the program asks the operating system about itself.
// GetCommandLineA comes from platform/wintypes.h on both backends.
#pragma once

#include "platform/cstring.h"
#include "platform/wintypes.h"

// The running program's own file, as the loader found it.
CString GetModulePath();
