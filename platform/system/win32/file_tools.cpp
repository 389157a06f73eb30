// platform/system/win32/file_tools.cpp: the system calls under the part of CFileStream
// that only the tools use, on Win32 file handles (see platform/system/file_tools.cpp),
// and the text of the last error.
#include "platform/system/file.h"
#include "platform/system/filesystem.h"

#include "platform/wintypes.h"

namespace {

bool FillInfo(HANDLE handle, FileInfo& info) {
    // Devices and pipes have no file information to give.
    info.isSpecial = GetFileType(handle) != FILE_TYPE_DISK;
    if (info.isSpecial) {
        return true;
    }
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

// Win32 has no call that copies a range from one handle to another; the buffer does it.
int64_t CFileStream::OsCopy(intptr_t, int64_t, intptr_t, int64_t, int64_t) { return 0; }

bool CFileStream::CopiesInSystem() { return false; }

// A synchronous handle reads at the offset its OVERLAPPED names, and moves its pointer.
size_t CFileStream::OsReadAt(intptr_t handle, int64_t offset, void* buffer, size_t count) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), buffer, static_cast<DWORD>(count), &got, &at)) {
        return 0;
    }
    return got;
}

bool CFileStream::GetInfo(FileInfo& info) const { return FillInfo(reinterpret_cast<HANDLE>(m_handle), info); }

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

CString GetLastErrorText() {
    const DWORD error = GetLastError();
    char text[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) {
        --length;
    }
    return length > 0 ? CString(text, static_cast<int>(length)) : "error " + DecimalText(error);
}

int64_t CFileStream::OsLength(intptr_t handle) {
    LARGE_INTEGER length;
    return GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &length) ? length.QuadPart : -1;
}
