// tests/packer/digest_test.cpp: the digest sfxpack takes of what it writes, against the PE
// checksum's classic loop: the word sum's corners.
#include <gtest/gtest.h>

#include "tests/support.h"
#include "tools/sfxpack/pe_checksum.h"

namespace {

// 16-bit little-endian words, the carry folded in at each step.
uint32_t ClassicSum(const std::string& bytes) {
    uint32_t sum = 0;
    for (size_t k = 0; k < bytes.size(); k += 2) {
        sum += static_cast<unsigned char>(bytes[k]);
        sum += k + 1 < bytes.size() ? static_cast<unsigned char>(bytes[k + 1]) << 8 : 0;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum;
}

// Summed in two parts of any parity joined, or one piece after the other, and patched:
// the classic loop's value, 0xFFFF and never 0 for a nonzero file whose words add up to a
// multiple of 0xFFFF.
TEST(WordSum, AddsUpAsTheClassicLoopInPartsPiecesAndPatches) {
    const std::string big = PatternBytes(8 * 65536 * 2 + 7, 4); // past a lane block
    const struct {
        std::string bytes;
        size_t split, patchAt;
        std::string patch;
    } cases[] = {
        {"", 0, 0, ""},
        {"\xFF\xFF", 1, 0, ""},
        {std::string(6, '\0'), 3, 2, "\xFF\xFF"},
        {"\x01\x02\x03", 1, 1, "\xFD"},
        {big, 65537, 1025, "\x12\x34\x56\x78\x9A\xBC\xDE"},
        {big, big.size() / 2, 2048, std::string(8, '\0')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes split at " + std::to_string(c.split));
        CWordSum whole, first, second;
        for (size_t at = 0; at < c.bytes.size(); at += 333) {
            whole.Add(c.bytes.data() + at, std::min<size_t>(333, c.bytes.size() - at));
        }
        first.Add(c.bytes.data(), c.split);
        second.Add(c.bytes.data() + c.split, c.bytes.size() - c.split);
        first.Append(second);
        EXPECT_EQ(ClassicSum(c.bytes), whole.GetFolded());
        EXPECT_EQ(ClassicSum(c.bytes), first.GetFolded());
        const std::string patched = Changed(c.bytes, c.patchAt, c.patch);
        whole.Replace(static_cast<int64_t>(c.patchAt),
                      reinterpret_cast<const unsigned char*>(&c.bytes[c.patchAt]),
                      reinterpret_cast<const unsigned char*>(c.patch.data()), c.patch.size());
        EXPECT_EQ(ClassicSum(patched), whole.GetFolded());
    }
}

} // namespace
