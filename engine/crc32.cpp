// engine/crc32.cpp: a CRC-32 one byte at a time, from a table made at run time; and eight
// bytes at a time, from eight.
#include "engine/crc32.h"

#include <string.h>

namespace {

constexpr uint32_t Crc32Polynomial = 0xEDB88320; // reflected

} // namespace

CCrc32::CCrc32() {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) {
            value = value >> 1 ^ (value & 1 ? Crc32Polynomial : 0);
        }
        m_table[i] = value;
    }
}

void CCrc32::Update(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    // In a local: the bytes could alias the member, which would then go to memory each time.
    uint32_t value = m_value;
    for (size_t i = 0; i < size; ++i) {
        value = m_table[(value ^ bytes[i]) & 0xFF] ^ value >> 8;
    }
    m_value = value;
}

CCrc32x8::CCrc32x8() {
    const CCrc32 bytewise;
    memcpy(m_tables[0], bytewise.m_table, sizeof m_tables[0]);
    for (int k = 1; k < 8; ++k) {
        for (int b = 0; b < 256; ++b) {
            const uint32_t previous = m_tables[k - 1][b];
            m_tables[k][b] = previous >> 8 ^ m_tables[0][previous & 0xFF];
        }
    }
}

void CCrc32x8::Update(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    const uint32_t(&t)[8][256] = m_tables;
    uint32_t value = m_value;
    for (; size >= 8; size -= 8, bytes += 8) {
        // The first four bytes, least significant first, meet the running value.
        const uint32_t low =
            value ^ (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
        value = t[7][low & 0xFF] ^ t[6][low >> 8 & 0xFF] ^ t[5][low >> 16 & 0xFF] ^ t[4][low >> 24] ^
                t[3][bytes[4]] ^ t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]];
    }
    for (; size > 0; --size, ++bytes) {
        value = t[0][(value ^ *bytes) & 0xFF] ^ value >> 8;
    }
    m_value = value;
}
