// platform/system/win32/file.cpp: the system calls under CFileStream, on Win32 file handles.
#include "platform/system/file.h"

#include "platform/wintypes.h"

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// How each mode opens its file, in the order of CFileStream::OpenMode. Readers let
// other readers in, and no writer or deleter: what they read stays what it was.
struct OpenArgs {
    DWORD access;
    DWORD share;
    DWORD disposition;
};
const OpenArgs OpenModes[] = {
    {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING},  // modeRead
    {GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS}, // modeWrite
    {GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW},    // modeCreateNew
    {GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING}, // modeUpdate
};

} // namespace

intptr_t CFileStream::OsOpen(const char* path, OpenMode mode) {
    const OpenArgs& args = OpenModes[mode];
    HANDLE handle =
        CreateFileA(path, args.access, args.share, nullptr, args.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? InvalidHandle : reinterpret_cast<intptr_t>(handle);
}

size_t CFileStream::OsRead(intptr_t handle, void* buffer, size_t count) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle), buffer, static_cast<DWORD>(count), &got, nullptr)) {
        return 0;
    }
    return got;
}

bool CFileStream::OsWrite(intptr_t handle, const void* data, size_t count) {
    DWORD written = 0;
    return WriteFile(AsHandle(handle), data, static_cast<DWORD>(count), &written, nullptr) &&
           written == count;
}

int64_t CFileStream::OsSeek(intptr_t handle, int64_t offset, SeekOrigin origin) {
    LARGE_INTEGER distance;
    LARGE_INTEGER position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(AsHandle(handle), distance, &position,
                          origin == fromStart ? FILE_BEGIN : FILE_END)) {
        return -1;
    }
    return position.QuadPart;
}

bool CFileStream::OsClose(intptr_t handle) { return CloseHandle(AsHandle(handle)) != FALSE; }

intptr_t CFileStream::OsReopen(intptr_t handle, bool othersMayWrite) {
    // Never FILE_SHARE_DELETE: while any of these handles is open, the file keeps its name.
    HANDLE reopened = ReOpenFile(AsHandle(handle), GENERIC_READ,
                                 FILE_SHARE_READ | (othersMayWrite ? FILE_SHARE_WRITE : 0), 0);
    return reopened == INVALID_HANDLE_VALUE ? InvalidHandle : reinterpret_cast<intptr_t>(reopened);
}
