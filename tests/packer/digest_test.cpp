// tests/packer/digest_test.cpp: the digest sfxpack takes of what it writes, against zlib and
// the PE checksum's classic loop: the word sum's corners, and the trailing digest on every
// copy road, with a second thread exactly where it can pay.
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

// Bytes written to the output directly and copied into it, on every road: zlib's CRC-32
// from the byte asked, and the word sum of all; a second thread only where the kernel
// copies (never on Windows), the process may use two processors, and a megabyte or more
// is to come. A source shorter than it was measured fails the copy.
TEST(TrailingDigest, TakesZlibsCrcAndTheWordSumOfWhatWasWrittenOnEveryRoad) {
    ScratchDir dir;
    const std::string head = "head written", tail = "end";
    for (size_t size : {size_t{0}, size_t{333}, size_t{1 << 20 | 1}, size_t{3 << 20 | 3}}) {
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
                CTrailingDigest digest(output, 7, true, static_cast<int64_t>(all.size()));
                EXPECT_EQ(all.size() >= (1 << 20) && (road == KernelRoad || road == 2) &&
                              CFileStream::CopiesInSystem() && CountProcessors() > 1,
                          digest.IsTrailing());
                ASSERT_TRUE(output.Write(head.data(), head.size()) && digest.CopyRange(source, 0, size / 2) &&
                            digest.CopyRange(source, size / 2, size - size / 2) &&
                            output.Write(tail.data(), tail.size()) && digest.Finish(crc, sum));
            }
            ASSERT_TRUE(output.Close());
            EXPECT_EQ(all, ReadFileBytes(dir / "output"));
            EXPECT_EQ(crc32_z(0, reinterpret_cast<const Bytef*>(all.data() + 7), all.size() - 7), crc);
            EXPECT_EQ(ClassicSum(all), sum.GetFolded());
            EXPECT_EQ(static_cast<int64_t>(all.size()), sum.GetLength());
            ASSERT_TRUE(OpenFile(output, dir / "short", CFileStream::modeWrite));
            CTrailingDigest digest(output, 0, true, static_cast<int64_t>(size));
            EXPECT_EQ(size == 0, digest.CopyRange(source, 1, static_cast<int64_t>(size)))
                << "a source that ends early";
        }
    }
}

} // namespace
