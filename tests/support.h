// tests/support.h: what the engine tests need around them, the same natively and under
// Wine: scratch directories, whole-file reads and writes, the environment, installer
// images, and windows that record the messages they get. Paths and values are UTF-8 on
// both hosts; on Windows they reach the system in UTF-16, so that names in any language
// work.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/wintypes.h"

// A fresh directory, removed with its contents when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const;

  private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
bool MakeDirectory(const std::string& path);

// The names in a directory, sorted; empty when it does not exist.
std::vector<std::string> ListDirectory(const std::string& path);

void SetEnv(const char* name, const char* value);
void UnsetEnv(const char* name);

// Deterministic, position-dependent bytes, so that a shifted copy never compares equal.
std::string PatternBytes(size_t count, unsigned seed);

// One length field as the layout stores it.
std::string LengthField(int32_t length);

// An installer image: the stub, the title padded to 40 bytes, then one length field and
// the data of each entry given. A stub given by its length is pattern bytes.
std::string BuildInstaller(const std::string& stub, const std::string& title,
                           const std::vector<std::string>& entries);
std::string BuildInstaller(size_t stubLength, const std::string& title,
                           const std::vector<std::string>& entries);

// A stub of length bytes that starts with a PE header (PE32, or PE32+ for 64-bit
// programs) whose data directories are all empty, as a linker leaves them.
std::string PeStub(size_t length, bool pe32Plus);
// The file offset of the header's security entry (a file offset and a size).
size_t SecurityEntryOffset(const std::string& peImage);
// What a signing tool does to a PE image: zeros up to a multiple of eight, a certificate
// table of tableSize bytes, and the security entry naming that table.
void AppendCertificateTable(std::string& peImage, uint32_t tableSize);

// Folder names, in UTF-8, that a Western code page such as 1252 cannot write.
constexpr char GreekName[] = "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac"; // Ελληνικά
constexpr char CyrillicName[] =
    "\xd0\x9a\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0"; // Кириллица

struct RecordedMessage {
    UINT message; // WM_SHOWWINDOW for a change of visibility
    WPARAM wParam;
    LPARAM lParam;
    unsigned long sequence; // order across all recording windows
};

// A window that records PBM_SETRANGE, PBM_SETPOS and visibility changes: an in-memory
// window natively, a real window of a recording class on Windows.
class RecordingWindow {
  public:
    explicit RecordingWindow(bool visible);
    ~RecordingWindow();

    HWND handle() const;
    bool visible() const;
    std::vector<RecordedMessage> messages() const;
    std::vector<int> positions() const; // wParam of every PBM_SETPOS

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};
