// platform/wintypes_posix.h: the Windows names the program uses, for builds without
// Windows. Values match the system headers.
#pragma once

#include <stdint.h>

struct PortableWindow;

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef PortableWindow* HWND;
typedef void* HMODULE;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr UINT WM_USER = 0x0400;
constexpr UINT PBM_SETRANGE = WM_USER + 1;
constexpr UINT PBM_SETPOS = WM_USER + 2;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr int IDOK = 1;

constexpr DWORD ERROR_FILE_NOT_FOUND = 2; // ENOENT, which GetLastError passes on
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
// The causes a failed start of a program is told by (platform/system/process.h).
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_CHILD_NOT_COMPLETE = 129;
constexpr DWORD ERROR_INVALID_EXE_SIGNATURE = 191;
constexpr DWORD ERROR_EXE_MARKED_INVALID = 192;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_EXE_MACHINE_TYPE_MISMATCH = 216;
constexpr DWORD ERROR_CANCELLED = 1223;
constexpr DWORD ERROR_ACCESS_DISABLED_BY_POLICY = 1260;
constexpr DWORD MAX_PATH = 260;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 1;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

inline LPARAM MAKELPARAM(unsigned low, unsigned high) {
    return static_cast<LPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
inline unsigned LOWORD(uintptr_t value) { return value & 0xFFFFu; }
inline unsigned HIWORD(uintptr_t value) { return (value >> 16) & 0xFFFFu; }
