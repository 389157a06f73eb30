// platform/win32/file.cpp: the system calls under CFileStream, on Win32 file handles.
#include "platform/file.h"

#include "platform/wintypes.h"

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// How each mode opens its file, in the order of CFileStream::OpenMode. Readers share the file the way the C
// runtime does, so a running program can read its own file.
struct OpenArgs {
    DWORD access;
    DWORD share;
    DWORD disposition;
};
const OpenArgs OpenModes[] = {
    {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING}, // modeRead
    {GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS},                   // modeWrite
    {GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW},                      // modeCreateNew
    {GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING},                   // modeUpdate
};

bool FillInfo(HANDLE handle, FileInfo& info) {
    BY_HANDLE_FILE_INFORMATION details;
    if (!GetFileInformationByHandle(handle, &details)) {
        return false;
    }
    info.size =
        static_cast<int64_t>(static_cast<uint64_t>(details.nFileSizeHigh) << 32 | details.nFileSizeLow);
    info.isDirectory = (details.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.device = details.dwVolumeSerialNumber;
    info.index = static_cast<uint64_t>(details.nFileIndexHigh) << 32 | details.nFileIndexLow;
    info.mode = 0;
    return true;
}

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

// Win32 has no call that copies a range from one handle to another; the buffer does it.
int64_t CFileStream::OsCopy(intptr_t, int64_t, intptr_t, int64_t, int64_t) { return 0; }

bool CFileStream::GetInfo(FileInfo& info) const { return FillInfo(AsHandle(m_handle), info); }

bool CFileStream::GetInfo(const char* path, FileInfo& info) {
    // No access asked: enough for the information, and FILE_FLAG_BACKUP_SEMANTICS lets a
    // directory open too.
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool filled = FillInfo(handle, info);
    CloseHandle(handle);
    return filled;
}

// Windows keeps no permission bits of this kind.
bool CFileStream::SetPermissions(unsigned) { return true; }
