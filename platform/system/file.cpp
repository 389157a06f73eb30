// platform/system/file.cpp: the buffering of CFileStream, shared by both backends.
#include "platform/system/file.h"

#include <stdlib.h>
#include <string.h>

CFileStream::~CFileStream() { Close(); }

bool CFileStream::Open(const char* path, OpenMode mode) {
    Close();
    return Attach(OsOpen(path, mode), mode);
}

bool CFileStream::Attach(intptr_t handle, OpenMode mode) {
    if (handle == InvalidHandle) {
        return false;
    }
    m_buffer = static_cast<unsigned char*>(malloc(BufferSize));
    if (m_buffer == nullptr) {
        OsClose(handle);
        return false;
    }
    m_handle = handle;
    m_mode = mode;
    m_next = m_end = 0;
    m_osPosition = 0;
    m_failed = false;
    return true;
}

int64_t CFileStream::GetPosition() const {
    return m_mode == modeRead ? m_osPosition - static_cast<int64_t>(m_end - m_next)
                              : m_osPosition + static_cast<int64_t>(m_end);
}

size_t CFileStream::Read(void* buffer, size_t count) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    size_t delivered = 0;
    while (delivered < count) {
        if (m_next == m_end && !FillBuffer()) {
            break;
        }
        size_t take = m_end - m_next;
        if (take > count - delivered) {
            take = count - delivered;
        }
        memcpy(out + delivered, m_buffer + m_next, take);
        m_next += take;
        delivered += take;
    }
    return delivered;
}

bool CFileStream::Write(const void* data, size_t count) {
    const unsigned char* in = static_cast<const unsigned char*>(data);
    while (count > 0 && !m_failed) {
        if (m_end == BufferSize && !FlushBuffer()) {
            break;
        }
        size_t take = BufferSize - m_end;
        if (take > count) {
            take = count;
        }
        memcpy(m_buffer + m_end, in, take);
        m_end += take;
        in += take;
        count -= take;
    }
    return !m_failed;
}

bool CFileStream::Seek(int64_t offset) { return SeekTo(offset, fromStart); }

bool CFileStream::SeekToEnd() { return SeekTo(0, fromEnd); }

bool CFileStream::Close() {
    if (!IsOpen()) {
        return true;
    }
    bool ok = m_mode == modeRead || FlushBuffer();
    ok = OsClose(m_handle) && ok && !m_failed;
    m_handle = InvalidHandle;
    free(m_buffer);
    m_buffer = nullptr;
    return ok;
}

// A handle that shuts out writers cannot be opened while a writer is open, and a
// program cannot be started from a file that anyone has open for writing. So the hold
// is handed over in two steps: a bridge, opened while this writer still shuts every
// other writer out, lets writers on but not deleters or renamers; then, with this
// writer closed, the final handle shuts writers out. Between the writer's close and the
// final open another program may open the file for writing: the final open then fails
// if it still has it open.
bool CFileStream::CloseAndHold(CFileStream& held) {
    held.Close();
    bool flushed = IsOpen() && m_mode != modeRead && FlushBuffer();
    intptr_t bridge = flushed ? OsReopen(m_handle, true) : InvalidHandle;
    bool closed = Close();
    if (bridge != InvalidHandle) {
        held.Attach(OsReopen(bridge, false), modeRead);
        OsClose(bridge);
    }
    return flushed && closed;
}

bool CFileStream::FillBuffer() {
    m_next = 0;
    m_end = OsRead(m_handle, m_buffer, BufferSize);
    m_osPosition += static_cast<int64_t>(m_end);
    return m_end > 0;
}

bool CFileStream::FlushBuffer() {
    if (m_end > 0 && !m_failed) {
        m_failed = !OsWrite(m_handle, m_buffer, m_end);
        m_osPosition += static_cast<int64_t>(m_end);
    }
    m_end = 0;
    return !m_failed;
}

bool CFileStream::SeekTo(int64_t offset, SeekOrigin origin) {
    if (m_mode != modeRead && !FlushBuffer()) {
        return false;
    }
    m_next = m_end = 0;
    int64_t position = OsSeek(m_handle, offset, origin);
    if (position < 0) {
        return false;
    }
    m_osPosition = position;
    return true;
}
