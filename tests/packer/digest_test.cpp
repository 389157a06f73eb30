// tests/packer/digest_test.cpp: the digest sfxpack takes of what it writes, against zlib
// and the PE checksum's classic loop.
#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/support.h"
#include "tools/sfxpack/sysfile.h"
#include "tools/sfxpack/trailing_digest.h"

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

// In parts of any parity joined, in pieces, patched: 0xFFFF, never 0, for words adding up
// to a multiple of 0xFFFF.
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

// As build digests (after the stub, summed) and as extract does (all, unsummed), up to past
// a copy piece; a second thread only where it can pay. A source shorter than measured fails.
TEST(TrailingDigest, TakesZlibsCrcAndTheWordSumOfWhatWasWrittenOnEveryRoad) {
    ScratchDir dir;
    const std::string head = "head written", tail = "end";
    const struct {
        size_t size;
        int64_t crcFrom;
        bool summed;
    } rows[] = {{0, 7, true}, {333, 0, false}, {1 << 20 | 1, 7, true}, {9 << 20 | 3, 0, false}};
    for (const auto& [size, crcFrom, summed] : rows) {
        const std::string data = PatternBytes(size, 5), all = head + data + tail;
        WriteFileBytes(dir / "source", data);
        for (size_t road = 0; road < CopyRoadCount; ++road) {
            SCOPED_TRACE(std::to_string(size) + " bytes, road " + std::to_string(road));
            CCopyRoad copyRoad(road);
            CFileStream source, output;
            ASSERT_TRUE(OpenFile(source, dir / "source", CFileStream::modeRead) &&
                        OpenFile(output, dir / "output", CFileStream::modeWrite));
            uint32_t crc = 0;
            CWordSum sum;
            {
                CTrailingDigest digest(output, crcFrom, summed, static_cast<int64_t>(all.size()));
                EXPECT_EQ(all.size() >= (1 << 20) && (road == KernelRoad || road == 2) &&
                              CFileStream::CopiesInSystem() && CountProcessors() > 1,
                          digest.IsTrailing());
                ASSERT_TRUE(output.Write(head.data(), head.size()) && digest.CopyRange(source, 0, size / 2) &&
                            digest.CopyRange(source, size / 2, size - size / 2) &&
                            output.Write(tail.data(), tail.size()) && digest.Finish(crc, sum));
            }
            ASSERT_TRUE(output.Close());
            EXPECT_EQ(all, ReadFileBytes(dir / "output"));
            const size_t from = static_cast<size_t>(crcFrom);
            EXPECT_EQ(crc32_z(0, reinterpret_cast<const Bytef*>(all.data() + from), all.size() - from), crc);
            EXPECT_EQ(summed ? ClassicSum(all) : 0, sum.GetFolded());
            EXPECT_EQ(summed ? static_cast<int64_t>(all.size()) : 0, sum.GetLength());
            ASSERT_TRUE(OpenFile(output, dir / "short", CFileStream::modeWrite));
            CTrailingDigest digest(output, 0, true, static_cast<int64_t>(size));
            EXPECT_EQ(size == 0, digest.CopyRange(source, 1, static_cast<int64_t>(size)))
                << "a source that ends early";
        }
    }
}

} // namespace
