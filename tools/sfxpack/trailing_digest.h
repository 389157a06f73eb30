// tools/sfxpack/trailing_digest.h: the CRC-32 and the PE word sum of a file sfxpack writes,
// taken while it is written. The copy stays inside the kernel; a second thread reads the
// output back from the page cache, trailing the writer. Reading back and digesting cost
// about as much as the copy itself, so once the writer is done it takes over half of
// what is left.
#pragma once

#include <stdint.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/system/file.h"
#include "tools/sfxpack/pe_checksum.h"

// One thread's part of the digest: the bytes of the output from one offset on.
class CDigestShare {
  public:
    CDigestShare(int64_t crcFrom, bool summed) : m_crcFrom(crcFrom), m_summed(summed) {}

    // Takes in size bytes that lie at offset.
    void Take(int64_t offset, const unsigned char* bytes, size_t size);
    // Reads back and takes in the output's bytes from GetNext() up to end; false when
    // they cannot all be read.
    bool ReadBack(CFileStream& reader, int64_t end);
    // Appends the share that covers the bytes following this one's.
    void Append(const CDigestShare& next);
    void SetNext(int64_t next) { m_next = next; }
    bool IsWanted() const { return m_crcFrom >= 0 || m_summed; }
    int64_t GetNext() const { return m_next; }
    uint32_t GetCrc() const { return m_crc; }
    const CWordSum& GetSum() const { return m_sum; }

  private:
    int64_t m_crcFrom; // negative: no CRC
    bool m_summed;
    int64_t m_next = 0; // the first byte not yet taken in
    uint32_t m_crc = 0;
    int64_t m_crcLength = 0; // the bytes in m_crc
    CWordSum m_sum;          // of the bytes from where the share began
    std::vector<unsigned char> m_buffer;
};

class CTrailingDigest {
  public:
    // Digests output, written from its start: its CRC-32 from byte crcFrom on (none when
    // negative), and the word sum of all of it when summed; with neither, the bytes only
    // move, inside the kernel where it can. A second thread trails the
    // writer only where it can pay: CopyRange moves bytes inside the kernel, the process
    // may run on two processors, and about expected bytes or more are to come; else the
    // bytes pass through one buffer and are digested from it.
    CTrailingDigest(CFileStream& output, int64_t crcFrom, bool summed, int64_t expected);
    ~CTrailingDigest();
    CTrailingDigest(const CTrailingDigest&) = delete;
    CTrailingDigest& operator=(const CTrailingDigest&) = delete;

    // Attributes
    bool IsTrailing() const { return m_thread.joinable(); }

    // Operations
    // Writes length bytes of source, from offset on, at the output's position, as
    // CFileStream::CopyRange; bytes written to the output directly are digested too.
    // False when source ends early or a write fails.
    bool CopyRange(CFileStream& source, int64_t offset, int64_t length);
    // Once everything is written: the CRC-32 and the word sum of the output, false when
    // it could not be read back.
    bool Finish(uint32_t& crc, CWordSum& sum);

  private:
    bool IsWanted() const { return m_own.IsWanted(); }
    // The second thread: digests each piece once it is published, up to m_limit.
    void Trail();
    void Publish(int64_t done);
    // Digests what reached the output past this thread's digest (the writer's own bytes).
    bool CatchUp();
    bool CopyThroughBuffer(CFileStream& source, int64_t offset, int64_t length);

    CFileStream& m_output; // borrowed
    CFileStream m_reader;  // on the output, opened when first needed
    CDigestShare m_own;    // this thread's: all, or what it takes over at the end
    CDigestShare m_trail;  // the second thread's, from the output's start
    std::thread m_thread;
    std::mutex m_mutex; // guards the five below
    std::condition_variable m_changed;
    int64_t m_published = 0;     // the output is final up to here
    int64_t m_claimed = 0;       // the end of the second thread's last piece
    int64_t m_limit = INT64_MAX; // where the second thread stops
    bool m_stopped = false;      // the writer gave up: the second thread ends
    bool m_failed = false;       // the second thread could not read back
};
