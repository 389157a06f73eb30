// engine/crc32.cpp: a CRC-32 one byte at a time, from a table made at run time.
#include "engine/crc32.h"

namespace {

constexpr uint32_t Crc32Polynomial = 0xEDB88320; // reflected

// [b]: the remainder of byte b; made on first use, so that no program file holds it.
uint32_t g_table[256];

} // namespace

uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size) {
    if (g_table[1] == 0) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit) {
                value = value >> 1 ^ (value & 1 ? Crc32Polynomial : 0);
            }
            g_table[i] = value;
        }
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    uint32_t value = ~crc;
    for (size_t i = 0; i < size; ++i) {
        value = g_table[(value ^ bytes[i]) & 0xFF] ^ value >> 8;
    }
    return ~value;
}
