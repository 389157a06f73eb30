// engine/crc32_fast.cpp: CRC-32 by folding 128-bit blocks with carry-less multiplication
// (PCLMULQDQ), ending in a Barrett reduction; compiled for those instructions in this
// function only, so that sfxpack still runs on processors without them.
#include "engine/crc32_fast.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

// The polynomial x^32 + ... + 1 of IEEE 802.3, unreflected, bit 32 included.
constexpr uint64_t Polynomial = 0x104C11DB7;

// The lowest `bits` bits of v in reverse order: the CRC is bit-reflected, so every constant
// is too.
constexpr uint64_t Reflect(uint64_t v, int bits) {
    uint64_t reflected = 0;
    for (int i = 0; i < bits; ++i) {
        reflected |= (v >> i & 1) << (bits - 1 - i);
    }
    return reflected;
}

// x^n mod P, reflected and shifted left by one as a multiplier of reflected blocks needs:
// it moves a 64-bit half n - 32 bits further along the message.
constexpr uint64_t FoldConstant(int n) {
    uint64_t remainder = 1;
    for (int i = 0; i < n; ++i) {
        remainder <<= 1;
        remainder ^= remainder >> 32 & 1 ? Polynomial : 0;
    }
    return Reflect(remainder, 32) << 1;
}

// The quotient of x^64 by P, reflected over 33 bits: Barrett's estimate of the quotient.
constexpr uint64_t BarrettQuotient() {
    uint64_t quotient = 0;
    uint64_t window = uint64_t{1} << 32; // the remainder's terms x^i .. x^(i-32), from i = 64 down
    for (int i = 64; i >= 32; --i, window <<= 1) {
        quotient = quotient << 1 | (window >> 32 & 1);
        window ^= window >> 32 & 1 ? Polynomial : 0;
    }
    return Reflect(quotient, 33);
}

constexpr int FoldBytes = 64; // four blocks of 16 in flight

#ifdef __i386__
// 32-bit Windows keeps the stack aligned to 4 bytes only; 128-bit spills need 16.
#define SFX_FOLD_TARGET __attribute__((target("pclmul,sse4.1"), force_align_arg_pointer))
#else
#define SFX_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))
#endif

// The low halves of x and k multiplied, plus the high halves: x moved along the message
// by the distances k holds, to be added to the block there.
SFX_FOLD_TARGET inline __m128i Fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

SFX_FOLD_TARGET inline __m128i LoadBlock(const unsigned char* bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

// The running value after `size` bytes (at least FoldBytes, a multiple of 16).
SFX_FOLD_TARGET uint32_t FoldBlocks(uint32_t value, const unsigned char* bytes, size_t size) {
    __m128i x[4];
    for (int i = 0; i < 4; ++i) {
        x[i] = LoadBlock(bytes + 16 * i);
    }
    x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(static_cast<int>(value)));
    const __m128i by4 = _mm_set_epi64x(FoldConstant(4 * 128 - 32), FoldConstant(4 * 128 + 32));
    for (bytes += FoldBytes, size -= FoldBytes; size >= FoldBytes; bytes += FoldBytes, size -= FoldBytes) {
        for (int i = 0; i < 4; ++i) {
            x[i] = _mm_xor_si128(Fold(x[i], by4), LoadBlock(bytes + 16 * i));
        }
    }
    const __m128i by1 = _mm_set_epi64x(FoldConstant(128 - 32), FoldConstant(128 + 32));
    __m128i r = x[0];
    for (int i = 1; i < 4; ++i) {
        r = _mm_xor_si128(Fold(r, by1), x[i]);
    }
    for (; size >= 16; bytes += 16, size -= 16) {
        r = _mm_xor_si128(Fold(r, by1), LoadBlock(bytes));
    }
    // 128 bits to 64, then to 32 plus the 32 that Barrett's reduction takes away.
    r = _mm_xor_si128(_mm_clmulepi64_si128(r, by1, 0x10), _mm_srli_si128(r, 8));
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
    const __m128i by64 = _mm_set_epi64x(0, FoldConstant(64));
    r = _mm_xor_si128(_mm_srli_si128(r, 4), _mm_clmulepi64_si128(_mm_and_si128(r, low32), by64, 0x00));
    const __m128i barrett = _mm_set_epi64x(BarrettQuotient(), Reflect(Polynomial, 33));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(r, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(r, t), 1));
}

} // namespace

bool CCrc32Fast::CanFold() { return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1"); }

void CCrc32Fast::Update(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (size >= FoldBytes && CanFold()) {
        const size_t folded = size & ~size_t{15};
        m_sliced.m_value = FoldBlocks(m_sliced.m_value, bytes, folded);
        bytes += folded;
        size -= folded;
    }
    m_sliced.Update(bytes, size);
}

#else

bool CCrc32Fast::CanFold() { return false; }

void CCrc32Fast::Update(const void* data, size_t size) { m_sliced.Update(data, size); }

#endif
