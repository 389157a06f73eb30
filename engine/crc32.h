// engine/crc32.h: the CRC-32 of IEEE 802.3 (the reflected polynomial 0xEDB88320, as zlib
// and ZIP compute it), which the seal carries to find accidental damage to a payload.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A running CRC-32. Its table is built by the constructor, in the object, so that no
// program file holds the 1 KiB table.
class CCrc32 {
  public:
    CCrc32();
    void Update(const void* data, size_t size);
    uint32_t GetValue() const { return ~m_value; }

  private:
    uint32_t m_table[256];
    uint32_t m_value = 0xFFFFFFFF;
};
