// platform/wintypes.h: the Windows types, messages and constants the program uses.
// On Windows they come from the system headers; elsewhere the portable backend defines
// the same names with the same values.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// commctrl.h builds on windows.h.
#include <commctrl.h>
#else
#include "platform/wintypes_posix.h"
#endif
