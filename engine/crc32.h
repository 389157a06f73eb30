// engine/crc32.h: the CRC-32 of IEEE 802.3 (the reflected polynomial 0xEDB88320, as zlib
// and ZIP compute it), which the seal carries to find accidental damage to a payload.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A running CRC-32, one byte at a time. Its table is built by the constructor, in the
// object, so that no program file holds the 1 KiB table.
class CCrc32 {
  public:
    CCrc32();
    void Update(const void* data, size_t size);
    uint32_t GetValue() const { return ~m_value; }

  private:
    friend class CCrc32x8;         // which starts from the same table
    uint32_t m_value = 0xFFFFFFFF; // first: the stub reaches it in fewer bytes
    uint32_t m_table[256];         // [b]: the remainder of byte b
};

// The same CRC eight bytes at a time ("slicing by 8"), for sfxpack, which digests whole
// installers: several times as fast, with 8 KiB of tables the stub has no use for.
class CCrc32x8 {
  public:
    CCrc32x8();
    void Update(const void* data, size_t size);
    uint32_t GetValue() const { return ~m_value; }

  private:
    uint32_t m_tables[8][256]; // [k][b]: the remainder of byte b followed by k zero bytes
    uint32_t m_value = 0xFFFFFFFF;
};
