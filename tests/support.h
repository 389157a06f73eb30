// tests/support.h: what the tests and the fuzz targets share. Paths are UTF-8, for any script.
#pragma once

#include <stdint.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/program_file.h"
#include "engine/progress.h"
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
typedef std::map<std::string, std::string> Files; // by name; a directory's bytes are empty
Files ReadDirectory(const std::string& path);
Files EntryFiles(const std::vector<std::string>& entries);

// -1 for the beginning, each percentage, -2 for the end; onPosition may act at each percentage.
class CProgressRecord : public CExtractProgress {
  public:
    void OnBegin() override { calls.push_back(-1); }
    void OnPosition(int percent) override {
        calls.push_back(percent);
        onPosition();
    }
    void OnEnd() override { calls.push_back(-2); }
    std::vector<int> calls;
    std::function<void()> onPosition = [] {};
};

// Position-dependent bytes, so that a shifted copy never compares equal.
std::string PatternBytes(size_t count, unsigned seed);
inline std::string Changed(std::string bytes, size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}
std::string FlipBit(std::string bytes, size_t at, int bit = 0);
std::string LittleEndian(uint32_t value);
std::string LengthField(int32_t length);

// The stub (pattern bytes, when given by its length), the title padded, each entry with its length.
std::string BuildInstaller(const std::string& stub, const std::string& title,
                           const std::vector<std::string>& entries);
std::string BuildInstaller(size_t stubLength, const std::string& title,
                           const std::vector<std::string>& entries);

// A PE32 or PE32+ header with empty data directories, as a linker leaves them, then pattern bytes.
std::string PeStub(size_t length, bool pe32Plus);
size_t SecurityEntryOffset(const std::string& peImage);
// As a signing tool: zeros up to a multiple of eight, then a table the security entry names.
void AppendCertificateTable(std::string& peImage, uint32_t tableSize);

// The seal block of engine/seal.h; a stand-in stub of size bytes sealed with its size.
std::string SealBlock(uint32_t length, bool digestRoom = false);
std::string WriteSealedStub(const std::string& path, size_t size, bool peHeader = false,
                            bool digestRoom = false);
// The image with the CRC-32 of all after the stub sealed in, as sfxpack build does.
std::string WithSealedDigest(std::string image, size_t stubLength);
// The PE checksum's sum: 16-bit little-endian words, the carry folded in at each step.
uint32_t SumWords(const std::string& bytes);
// A PeStub image with that checksum in its header.
std::string WithPeChecksum(std::string peImage);
// For its lifetime, a road of CFileStream::CopyRange by road % CopyRoadCount: the kernel's; the
// buffer's; a kernel copy stopped short; the kernel's on one processor. Windows has only the buffer.
constexpr size_t CopyRoadCount = 4;
constexpr size_t KernelRoad = 0;
class CCopyRoad {
  public:
    explicit CCopyRoad(size_t road);
    ~CCopyRoad();
    CCopyRoad(const CCopyRoad&) = delete;
    CCopyRoad& operator=(const CCopyRoad&) = delete;
};

// Names that a Western code page such as 1252 cannot write.
constexpr char GreekName[] = "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac";
constexpr char CyrillicName[] = "\xd0\x9a\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0";
