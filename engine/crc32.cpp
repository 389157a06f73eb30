// engine/crc32.cpp: a CRC-32 by folding 16-byte blocks with carry-less multiplication where
// the processor has it, one byte at a time from a table made at run time where not.
#include "engine/crc32.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define SFX_CRC32_FOLDS 1
#endif

namespace {

constexpr uint32_t Crc32Polynomial = 0xEDB88320; // reflected

// [b]: the remainder of byte b. Made on first use, in memory no program file holds; the
// stub digests on its one worker thread.
uint32_t g_table[256];
// Whether UpdateCrc32 folds: 0 not asked yet, 1 no, 2 yes. CPUID is slow, and traps in a
// virtual machine: asked once, not per block.
unsigned char g_folds;

const uint32_t* GetTable() {
    if (g_table[1] == 0) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit) {
                value = value >> 1 ^ (value & 1 ? Crc32Polynomial : 0);
            }
            g_table[i] = value;
        }
    }
    return g_table;
}

// The inverted running value after `size` more bytes, one at a time.
uint32_t DigestBytes(uint32_t value, const unsigned char* bytes, size_t size) {
    const uint32_t* table = GetTable();
    for (size_t i = 0; i < size; ++i) {
        value = table[(value ^ bytes[i]) & 0xFF] ^ value >> 8;
    }
    return value;
}

#ifdef SFX_CRC32_FOLDS

// Leaf 1 exists on every processor with SSE2, which the stub needs anyway. Asked with the
// instruction itself: __builtin_cpu_supports would link the compiler's code that
// identifies processor models.
inline bool HasCarrylessMultiply() {
    unsigned eax, ebx, ecx, edx;
    __cpuid(1, eax, ebx, ecx, edx);
    return (ecx & bit_PCLMUL) != 0;
}

// x^n modulo the polynomial, bit-reflected as the CRC is (bit 31 is x^0), and shifted
// left by one as a multiplier of reflected blocks needs.
constexpr uint64_t FoldConstant(int n) {
    uint32_t remainder = 0x80000000;
    for (int i = 0; i < n; ++i) {
        remainder = remainder >> 1 ^ (remainder & 1 ? Crc32Polynomial : 0);
    }
    return uint64_t{remainder} << 1;
}

// The instruction is enabled for the folding alone, so that the rest runs on any processor.
#ifdef __i386__
// 32-bit Windows keeps the stack aligned to 4 bytes only; a 128-bit spill needs 16. (The
// fold keeps its block in a register: today this adds no code.)
#define SFX_FOLD_TARGET __attribute__((target("pclmul"), force_align_arg_pointer))
#else
#define SFX_FOLD_TARGET __attribute__((target("pclmul")))
#endif

// Folds `size` bytes (a positive multiple of 16), the inverted running value added to
// their first four, into one block of 16 with the same remainder, stored at `folded`: the
// CRC of that block from a zero register is the running value after all of them, and the
// table works it out. One block in flight and the table's end are the least code: four
// blocks in flight and a Barrett reduction take half the time, and some 300 more bytes.
SFX_FOLD_TARGET void FoldBlocks(uint32_t value, const unsigned char* bytes, size_t size,
                                unsigned char* folded) {
    // A block moves 128 bits along the message, onto the next, as its first half times
    // x^192 and its second times x^128; in the reflected form the exponents are 32 less.
    const __m128i by16 = _mm_set_epi64x(FoldConstant(128 - 32), FoldConstant(128 + 32));
    __m128i block = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)),
                                  _mm_cvtsi32_si128(static_cast<int>(value)));
    for (size_t at = 16; at < size; at += 16) {
        const __m128i moved =
            _mm_xor_si128(_mm_clmulepi64_si128(block, by16, 0x00), _mm_clmulepi64_si128(block, by16, 0x11));
        block = _mm_xor_si128(moved, _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), block);
}

#endif

} // namespace

bool CanFoldCrc32() {
#ifdef SFX_CRC32_FOLDS
    return HasCarrylessMultiply();
#else
    return false;
#endif
}

uint32_t UpdateCrc32ByTable(uint32_t crc, const void* data, size_t size) {
    return ~DigestBytes(~crc, static_cast<const unsigned char*>(data), size);
}

uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    uint32_t value = ~crc;
#ifdef SFX_CRC32_FOLDS
    if (g_folds == 0) {
        g_folds = HasCarrylessMultiply() ? 2 : 1;
    }
    if (g_folds == 2 && size >= 16) {
        const size_t whole = size & ~size_t{15};
        unsigned char folded[16];
        FoldBlocks(value, bytes, whole, folded);
        value = DigestBytes(0, folded, sizeof folded);
        bytes += whole;
        size -= whole;
    }
#endif
    return ~DigestBytes(value, bytes, size);
}
