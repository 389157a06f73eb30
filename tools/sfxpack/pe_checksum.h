// tools/sfxpack/pe_checksum.h: the PE header's checksum of an installer: its word sum taken
// piece by piece as the file is written and corrected for bytes patched afterwards, and
// the check of a finished file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/system/file.h"

// The checksum sums the file's 16-bit little-endian words with end-around carry. That is
// the sum modulo 0xFFFF, except that a file with any nonzero byte never sums to 0 but to
// 0xFFFF (ones' complement has two zeros). Modulo 0xFFFF each byte counts alone, as itself
// at an even offset and times 256 at an odd one, so pieces of any size add up and any
// byte can be taken out again.
class CWordSum {
  public:
    // Adds bytes that follow those added so far in the file.
    void Add(const void* data, size_t size);
    // Replaces count bytes at offset, added as was, by now; the length stays.
    void Replace(int64_t offset, const unsigned char* was, const unsigned char* now, size_t count);
    // Adds the sum of the bytes that follow these.
    void Append(const CWordSum& next);
    // The folded 16-bit sum, as the classic loop gives it.
    uint32_t GetFolded() const;
    int64_t GetLength() const { return m_length; }

  private:
    void AddByte(int64_t offset, unsigned byte, bool remove);

    uint64_t m_residue = 0; // modulo 0xFFFF
    int64_t m_length = 0;
    bool m_nonzero = false;
};

// The checksum of a file summed with its checksum field counted as zero: the folded sum
// plus the file's length.
uint32_t FinishPeChecksum(const CWordSum& sum);

// The checksum a PE file's header holds and the one its bytes give.
struct PeChecksum {
    int64_t field = -1; // the header's checksum field; -1 without a PE header
    uint32_t stored = 0;
    uint32_t computed = 0;

    bool IsTrue() const { return field < 0 || stored == computed; }
};

// Reads an open file whole for its checksum; false when it cannot be read.
bool MeasurePeChecksum(CFileStream& file, PeChecksum& checksum);
