// tools/sfxpack/trailing_digest.cpp: the writer publishes how far the output is final; the
// second thread reads back and digests up to there, and at the end the two split the rest.
#include "tools/sfxpack/trailing_digest.h"

#include <system_error>

#include "engine/crc32.h"
#include "tools/sfxpack/layout.h"
#include "tools/sfxpack/sysfile.h"

namespace {

// Read back and digested at a time: the CRC and the word sum both go over a piece while
// it is still in the processor's second-level cache.
constexpr size_t DigestPiece = 256 << 10;
// Copied between two publications: few wake-ups of the second thread, and little for it
// to catch up at the end.
constexpr int64_t CopyPiece = 4 << 20;
// Left to the second thread alone when less than this is left once the copy is done.
constexpr int64_t MinimumSplit = 2 * static_cast<int64_t>(DigestPiece);
// Copied through the buffer when less than this is to come: a thread costs more than it
// saves.
constexpr int64_t SmallCopy = 1 << 20;

int64_t Smaller(int64_t a, int64_t b) { return a < b ? a : b; }

} // namespace

void CDigestShare::Take(int64_t offset, const unsigned char* bytes, size_t size) {
    const int64_t skip = m_crcFrom > offset ? m_crcFrom - offset : 0;
    if (m_crcFrom >= 0 && skip < static_cast<int64_t>(size)) {
        m_crc = UpdateCrc32(m_crc, bytes + skip, size - static_cast<size_t>(skip));
        m_crcLength += static_cast<int64_t>(size) - skip;
    }
    if (m_summed) {
        m_sum.Add(bytes, size);
    }
}

bool CDigestShare::ReadBack(CFileStream& reader, int64_t end) {
    m_buffer.resize(DigestPiece);
    while (m_next < end) {
        const size_t piece = static_cast<size_t>(Smaller(end - m_next, DigestPiece));
        if (reader.ReadAtOffset(m_next, m_buffer.data(), piece) != piece) {
            return false;
        }
        Take(m_next, m_buffer.data(), piece);
        m_next += static_cast<int64_t>(piece);
    }
    return true;
}

void CDigestShare::Append(const CDigestShare& next) {
    m_crc = CombineZlibCrc32(m_crc, next.m_crc, next.m_crcLength);
    m_crcLength += next.m_crcLength;
    m_sum.Append(next.m_sum);
    m_next = next.m_next;
}

CTrailingDigest::CTrailingDigest(CFileStream& output, int64_t crcFrom, bool summed, int64_t expected)
    : m_output(output), m_own(crcFrom, summed), m_trail(crcFrom, summed) {
    if (!IsWanted() || expected < SmallCopy || !CFileStream::CopiesInSystem() || CountProcessors() < 2 ||
        !output.OpenReader(m_reader)) {
        return;
    }
    // The CRC makes its table and asks the processor once, on first use: here, before
    // two threads use it at once.
    UpdateCrc32(0, nullptr, 0);
    // A thread that cannot be made leaves the bytes to the buffer, as on one processor.
    try {
        m_thread = std::thread(&CTrailingDigest::Trail, this);
    } catch (const std::system_error&) {
    }
}

CTrailingDigest::~CTrailingDigest() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_one();
        m_thread.join();
    }
}

void CTrailingDigest::Trail() {
    for (;;) {
        int64_t end;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            const int64_t next = m_trail.GetNext();
            m_changed.wait(lock, [&] { return m_stopped || next >= m_limit || m_published > next; });
            if (m_stopped || next >= m_limit) {
                return;
            }
            end = m_claimed =
                Smaller(Smaller(m_published, m_limit), next + static_cast<int64_t>(DigestPiece));
        }
        if (!m_trail.ReadBack(m_reader, end)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
            return;
        }
    }
}

void CTrailingDigest::Publish(int64_t done) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_published = done;
    }
    m_changed.notify_one();
}

bool CTrailingDigest::CatchUp() {
    if (!m_output.Flush()) {
        return false;
    }
    const int64_t end = m_output.GetPosition();
    if (m_own.GetNext() == end) {
        return true;
    }
    return (m_reader.IsOpen() || m_output.OpenReader(m_reader)) && m_own.ReadBack(m_reader, end);
}

bool CTrailingDigest::CopyRange(CFileStream& source, int64_t offset, int64_t length) {
    if (!IsWanted()) {
        return m_output.CopyRange(source, offset, length);
    }
    if (!m_thread.joinable()) {
        return CopyThroughBuffer(source, offset, length);
    }
    for (int64_t done = 0; done < length; done += CopyPiece) {
        if (!m_output.CopyRange(source, offset + done, Smaller(length - done, CopyPiece))) {
            return false;
        }
        // CopyRange wrote out the buffer first: everything before the position is final.
        Publish(m_output.GetPosition());
    }
    return true;
}

bool CTrailingDigest::CopyThroughBuffer(CFileStream& source, int64_t offset, int64_t length) {
    if (!CatchUp()) {
        return false;
    }
    std::vector<unsigned char> buffer(static_cast<size_t>(Smaller(length, DigestPiece)));
    for (int64_t done = 0; done < length;) {
        const size_t piece = static_cast<size_t>(Smaller(length - done, DigestPiece));
        if (source.ReadAtOffset(offset + done, buffer.data(), piece) != piece ||
            !m_output.Write(buffer.data(), piece)) {
            return false;
        }
        m_own.Take(m_own.GetNext(), buffer.data(), piece);
        m_own.SetNext(m_own.GetNext() + static_cast<int64_t>(piece));
        done += static_cast<int64_t>(piece);
    }
    return true;
}

bool CTrailingDigest::Finish(uint32_t& crc, CWordSum& sum) {
    if (!m_output.Flush()) {
        return false;
    }
    const int64_t end = m_output.GetPosition();
    if (m_thread.joinable()) {
        // Reading back lags behind the kernel's copy: this thread takes the second half of
        // the rest.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_published = end;
            const int64_t rest = end - m_claimed;
            m_limit = rest >= MinimumSplit ? m_claimed + rest / 2 : end;
            m_own.SetNext(m_limit);
        }
        m_changed.notify_one();
        const bool own = m_own.ReadBack(m_reader, end);
        m_thread.join();
        if (!own || m_failed || m_trail.GetNext() != m_limit) {
            return false;
        }
        m_trail.Append(m_own);
        crc = m_trail.GetCrc();
        sum = m_trail.GetSum();
        return true;
    }
    if (IsWanted() && !CatchUp()) {
        return false;
    }
    crc = m_own.GetCrc();
    sum = m_own.GetSum();
    return true;
}
