// platform/system/file.h: CFileStream, a buffered binary file stream. Small reads and writes
// are served from one fixed buffer, so a 1 KiB block costs a copy, not a system call,
// and asking for the position costs nothing. Long runs of bytes go from file to file
// with CopyRange. The stub and sfxpack share it.
#pragma once

#include <stddef.h>
#include <stdint.h>

// What separates a folder from the names in it: Windows's backslash, the host's slash
// elsewhere.
#ifdef _WIN32
#define SFX_PATH_SEPARATOR "\\"
#else
#define SFX_PATH_SEPARATOR "/"
#endif

// What the system tells of a file.
struct FileInfo {
    int64_t size = 0;
    bool isDirectory = false;
    bool isSpecial = false; // a device, pipe or socket: no file that is renamed into place
    // Two paths name the same file when both parts are equal.
    uint64_t device = 0;
    uint64_t index = 0;
    unsigned mode = 0; // permission bits where the system has them
};

// Two paths name the same file: a link or another spelling of a path too.
inline bool IsSameFile(const FileInfo& a, const FileInfo& b) {
    return a.device == b.device && a.index == b.index;
}

class CFileStream {
  public:
    enum OpenMode {
        modeRead,      // an existing file, from its start; others may read it, not write it
        modeWrite,     // created, or emptied when it exists
        modeCreateNew, // created; fails when the name exists already
        modeUpdate,    // an existing file, written (not read) in place: nothing is emptied
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
    bool GetInfo(FileInfo& info) const;
    // The file's length, asked of the system without moving the stream: safe while
    // another thread reads through it. -1 when the system cannot tell.
    int64_t GetLength() const { return OsLength(m_handle); }
    // A file or directory by path, without opening it for reading.
    static bool GetInfo(const char* path, FileInfo& info);

    // Operations
    // Paths are the system's own: in the code page on Windows, as they are on POSIX.
    bool Open(const char* path, OpenMode mode);
    // Returns the bytes delivered: fewer than asked only at the end of the file or on error.
    size_t Read(void* buffer, size_t count);
    // False once any write of this stream has failed.
    bool Write(const void* data, size_t count);
    bool Seek(int64_t offset);
    bool SeekToEnd();
    // Writes length bytes of source, from its byte offset on, at this stream's position.
    // They move inside the system where it can (on Linux: pages handed from file to file,
    // never through this process), else through this stream's buffer. Both positions end
    // after the bytes copied. False when source ends early or a write fails.
    bool CopyRange(CFileStream& source, int64_t offset, int64_t length);
    // Whether CopyRange can move bytes inside the system at all: on Linux, unless a test
    // forbade it; never on Windows, which has no such call.
    static bool CopiesInSystem();
    // Writes what is buffered; false once any write of this stream has failed.
    bool Flush();
    // Opens reader on the file this stream writes, for reading back what was written
    // while this stream goes on writing it.
    bool OpenReader(CFileStream& reader);
    // Reads up to count bytes at offset straight into buffer, past this stream's buffer;
    // fewer only at the end of the file or on error. Safe beside another thread doing the
    // same on POSIX; the position is left undefined until the next Seek.
    size_t ReadAtOffset(int64_t offset, void* buffer, size_t count);
    // The permission bits; true without doing anything where the system has none.
    bool SetPermissions(unsigned mode);
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
    // Large enough that system calls stop mattering next to the copying itself.
    static constexpr size_t BufferSize = 256 * 1024;
    enum SeekOrigin { fromStart, fromEnd };

    // Takes over an open handle; false, and the handle closed, without a buffer for it.
    bool Attach(intptr_t handle, OpenMode mode);
    bool FillBuffer();
    bool FlushBuffer();
    bool SeekTo(int64_t offset, SeekOrigin origin);

    // Backend primitives, one system call each (platform/system/*/file.cpp; those only the tools
    // use in platform/system/*/file_tools.cpp).
    static intptr_t OsOpen(const char* path, OpenMode mode);
    static size_t OsRead(intptr_t handle, void* buffer, size_t count);
    static bool OsWrite(intptr_t handle, const void* data, size_t count);
    static int64_t OsSeek(intptr_t handle, int64_t offset, SeekOrigin origin);
    static bool OsClose(intptr_t handle);
    static int64_t OsLength(intptr_t handle);
    // A new handle for reading the file that handle has open, which lets others write the
    // file too, or not.
    static intptr_t OsReopen(intptr_t handle, bool othersMayWrite);
    // Moves up to count bytes from one file to the other inside the system, at the
    // offsets given, and returns how many arrived: fewer, down to none, where the system
    // cannot move them (any failure included; the caller's own copy then meets it). The
    // handles' positions are left undefined.
    static int64_t OsCopy(intptr_t from, int64_t fromOffset, intptr_t to, int64_t toOffset, int64_t count);
    // Reads at an offset, in one call where the system has one.
    static size_t OsReadAt(intptr_t handle, int64_t offset, void* buffer, size_t count);

    intptr_t m_handle = InvalidHandle; // owned: a file descriptor or a HANDLE
    unsigned char* m_buffer = nullptr; // owned, BufferSize bytes while open
    size_t m_next = 0;                 // next byte of the buffer to read
    size_t m_end = 0;                  // bytes valid in the buffer
    int64_t m_osPosition = 0;          // where the system's file pointer stands
    OpenMode m_mode = modeRead;
    bool m_failed = false;
};
