// platform/system/file_tools.cpp: the part of CFileStream that only the tools use, shared by
// both backends. It lives apart, with the backends' own (*/file_tools.cpp), so that the
// stub links none of it and imports no system function for it.
#include "platform/system/file.h"

bool CFileStream::CopyRange(CFileStream& source, int64_t offset, int64_t length) {
    if (m_mode == modeRead || !FlushBuffer()) {
        return false;
    }
    const int64_t moved = OsCopy(source.m_handle, offset, m_handle, m_osPosition, length);
    if (!source.Seek(offset + moved) || !SeekTo(m_osPosition + moved, fromStart)) {
        return false;
    }
    // What the system did not move goes through the buffer, which the flush emptied.
    for (int64_t rest = length - moved; rest > 0;) {
        size_t piece = rest < static_cast<int64_t>(BufferSize) ? static_cast<size_t>(rest) : BufferSize;
        size_t got = OsRead(source.m_handle, m_buffer, piece);
        source.m_osPosition += static_cast<int64_t>(got);
        if (got == 0) {
            return false;
        }
        m_failed = !OsWrite(m_handle, m_buffer, got);
        if (m_failed) {
            return false;
        }
        m_osPosition += static_cast<int64_t>(got);
        rest -= static_cast<int64_t>(got);
    }
    return true;
}

bool CFileStream::Flush() { return m_mode == modeRead || FlushBuffer(); }

// The writer keeps writing: the reader must let it.
bool CFileStream::OpenReader(CFileStream& reader) {
    reader.Close();
    return IsOpen() && reader.Attach(OsReopen(m_handle, true), modeRead);
}

size_t CFileStream::ReadAtOffset(int64_t offset, void* buffer, size_t count) {
    return OsReadAt(m_handle, offset, buffer, count);
}
