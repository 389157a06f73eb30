// platform/file.h: CFileStream, a buffered binary file stream. Small reads and writes
// are served from one fixed buffer, so a 1 KiB block costs a copy, not a system call,
// and asking for the position costs nothing.
#pragma once

#include <stddef.h>
#include <stdint.h>

class CFileStream {
  public:
    enum OpenMode {
        modeRead,  // an existing file, from its start
        modeWrite, // created, or emptied when it exists
    };

    // Constructors
    CFileStream() = default;
    ~CFileStream();
    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    // Attributes
    bool IsOpen() const { return m_handle != InvalidHandle; }
    int64_t GetPosition() const;
    // The system's handle (a file descriptor or a HANDLE), for calls the stream does not
    // wrap; they must leave the position to Seek.
    intptr_t GetOsHandle() const { return m_handle; }

    // Operations
    // Paths are Windows paths; the portable backend maps them onto the host (see
    // platform/portable/control.h).
    bool Open(const char* path, OpenMode mode);
    // Returns the bytes delivered: fewer than asked only at the end of the file or on error.
    size_t Read(void* buffer, size_t count);
    // False once any write of this stream has failed.
    bool Write(const void* data, size_t count);
    bool Seek(int64_t offset);
    bool SeekToEnd();
    // Writes what is buffered and closes; false when any write or the close failed.
    bool Close();
    // Closes like Close a stream that was written, and opens `held` on the same file for
    // reading, shared for reading only: while held is open, nobody can write, replace,
    // rename or delete the file, and it can still be read and run. held stays closed when
    // another program got the file open for writing in the moment between the two (see
    // the definition); what it may have written and closed again in that moment, only a
    // comparison of the held bytes finds. The portable backend keeps the file open, but
    // POSIX lets others write it all the same.
    bool CloseAndHold(CFileStream& held);

  private:
    static constexpr intptr_t InvalidHandle = -1;
    enum SeekOrigin { fromStart, fromEnd };

    // Takes over an open handle; false, and the handle closed, without a buffer for it.
    bool Attach(intptr_t handle, OpenMode mode);
    bool FillBuffer();
    bool FlushBuffer();
    bool SeekTo(int64_t offset, SeekOrigin origin);

    // Backend primitives, one system call each (platform/*/file.cpp).
    static intptr_t OsOpen(const char* path, OpenMode mode);
    static size_t OsRead(intptr_t handle, void* buffer, size_t count);
    static bool OsWrite(intptr_t handle, const void* data, size_t count);
    static int64_t OsSeek(intptr_t handle, int64_t offset, SeekOrigin origin);
    static bool OsClose(intptr_t handle);
    // A new handle for reading the file that handle has open, which lets others write the
    // file too, or not.
    static intptr_t OsReopen(intptr_t handle, bool othersMayWrite);

    intptr_t m_handle = InvalidHandle; // owned: a file descriptor or a HANDLE
    unsigned char* m_buffer = nullptr; // owned, BufferSize bytes while open
    size_t m_next = 0;                 // next byte of the buffer to read
    size_t m_end = 0;                  // bytes valid in the buffer
    int64_t m_osPosition = 0;          // where the system's file pointer stands
    OpenMode m_mode = modeRead;
    bool m_failed = false;
};
