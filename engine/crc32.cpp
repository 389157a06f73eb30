// engine/crc32.cpp: a CRC-32 one byte at a time, from a table made at run time.
#include "engine/crc32.h"

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
