// engine/crc32_fast.h: the CRC-32 of crc32.h at about the speed of memory, for sfxpack,
// which digests whole installers; the stub never links it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/crc32.h"

// Folds 64 bytes at a time with carry-less multiplication where the processor has it
// (x86 with PCLMULQDQ and SSE4.1, asked at run time); otherwise, and for the few bytes
// a fold leaves over, slicing by 8.
class CCrc32Fast {
  public:
    void Update(const void* data, size_t size);
    uint32_t GetValue() const { return m_sliced.GetValue(); }
    // Whether this processor folds: only then does Update differ from CCrc32x8's.
    static bool CanFold();

  private:
    CCrc32x8 m_sliced; // holds the running value
};
