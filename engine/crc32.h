// engine/crc32.h: the stub's CRC-32 of IEEE 802.3 (the reflected polynomial 0xEDB88320, as
// zlib computes it), which the seal carries to find accidental damage to a payload.
#pragma once

#include <stddef.h>
#include <stdint.h>

// zlib's convention: start from 0; each call returns the finished value of all so far.
// At about the speed of memory where the processor folds 16-byte blocks with carry-less
// multiplication (x86 with PCLMULQDQ, asked once), else one byte at a time from a table.
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size);

// The same from the table alone, as a processor without the instruction takes it.
uint32_t UpdateCrc32ByTable(uint32_t crc, const void* data, size_t size);
// Whether this processor has carry-less multiplication; false off x86.
bool CanFoldCrc32();
