// engine/crc32.h: the stub's CRC-32 of IEEE 802.3 (the reflected polynomial 0xEDB88320,
// as zlib computes it), which the seal carries to find accidental damage to a payload.
#pragma once

#include <stddef.h>
#include <stdint.h>

// zlib's convention: start from 0; each call returns the finished value of all so far.
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size);
