// tests/support.h: what the engine tests need around them, the same natively and under
// Wine: scratch directories, whole-file reads and writes, the environment, installer
// images and helpers around them.
// Paths and values are UTF-8 on both hosts; on Windows they reach the system in UTF-16,
// so that names in any language work.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "engine/program_file.h"
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
// Opens an installer as the stub opens its own file, measured.
bool OpenProgram(const std::string& path, ProgramFile& program);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
bool MakeDirectory(const std::string& path);

// The names in a directory, sorted; empty when it does not exist.
std::vector<std::string> ListDirectory(const std::string& path);

void SetEnv(const char* name, const char* value);

// Deterministic, position-dependent bytes, so that a shifted copy never compares equal.
std::string PatternBytes(size_t count, unsigned seed);

// The bytes with those at `at` replaced.
inline std::string Changed(std::string bytes, size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}

// Four bytes, least significant first, as every number of a PE header.
std::string LittleEndian(uint32_t value);

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
// table of tableSize bytes (at least 8: one WIN_CERTIFICATE header), and the security
// entry naming that table.
void AppendCertificateTable(std::string& peImage, uint32_t tableSize);

// The seal block of engine/seal.h, recording length, with room for a digest or as older
// stubs have it; and a stand-in stub of size bytes, pattern bytes (after a PE header when
// asked) around one sealed with its size, written to path and returned.
std::string SealBlock(uint32_t length, bool digestRoom = false);
std::string WriteSealedStub(const std::string& path, size_t size, bool peHeader = false,
                            bool digestRoom = false);

// An installer image whose stub's seal (the first marker) records the CRC-32 of all that
// follows the stub, as sfxpack build seals it.
std::string WithSealedDigest(std::string image, size_t stubLength);

// The bytes with their last four chosen so that the CRC-32 of all from `from` on is crc:
// a CRC-32 finds damage, it stops no forger.
std::string WithForgedCrc32(std::string bytes, size_t from, uint32_t crc);

// A PeStub image, whole, with the checksum its bytes give in its header, computed word by
// word with the carry folded in at each step.
std::string WithPeChecksum(std::string peImage);

// The bytes with one bit flipped.
std::string FlipBit(std::string bytes, size_t at, int bit = 0);

// Takes one of the roads a copy (CFileStream::CopyRange) can take, for as long as it
// lives, by road % CopyRoadCount: all bytes moved inside the kernel; none, as where the
// kernel refuses, so that the stream's buffer carries them; a kernel copy stopped short
// that the buffer finishes; or the kernel's, with the process (this thread) confined to
// one processor, where sfxpack starts no second thread. Windows knows only the buffer's
// road.
constexpr size_t CopyRoadCount = 4;
constexpr size_t KernelRoad = 0;
constexpr size_t BufferRoad = 1;
class CCopyRoad {
  public:
    explicit CCopyRoad(size_t road);
    ~CCopyRoad();
    CCopyRoad(const CCopyRoad&) = delete;
    CCopyRoad& operator=(const CCopyRoad&) = delete;
};

// Folder names, in UTF-8, that a Western code page such as 1252 cannot write.
constexpr char GreekName[] = "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac"; // Ελληνικά
constexpr char CyrillicName[] =
    "\xd0\x9a\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0"; // Кириллица

// Files by name with their bytes: what an installer's entries become.
typedef std::map<std::string, std::string> Files;
Files EntryFiles(const std::vector<std::string>& entries);
