// engine/payload.h: the installer format in one place: the payload that sfxpack appends
// to the stub and the stub reads back, its reader and its writer side by side, and what
// the seal's digest covers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/bounds.h"
#include "platform/system/cstring.h"
#include "platform/system/file.h"

// The stub program is followed directly by a 40-byte title field and up to seven
// entries, each a 10-byte length field and that many bytes of data; a signed installer
// ends in a certificate table after them (engine/bounds.h).
constexpr int TitleFieldLength = 40;
constexpr int LengthFieldDigits = 10;
constexpr int PayloadEntryCount = 7;
// Entries 1 to 6 are always present; entry 7 only when bytes follow entry 6.
constexpr int RequiredEntryCount = 6;

// The names the entries are written under, in payload order, each with its separator.
extern const char* const PayloadEntryTable[PayloadEntryCount];

// What a stub's seal tells of its installer (engine/seal.h): where the payload starts
// and, from stubs that carry one, the payload's digest.
struct PayloadSeal {
    int32_t stubLength = 0;
    bool hasDigest = false;
    uint32_t digest = 0;
};

// One entry as the payload holds it.
struct PayloadEntry {
    int index = 0;                               // into PayloadEntryTable
    unsigned char field[LengthFieldDigits] = {}; // the length field as stored
    int32_t declared = 0;                        // its value, decoded leniently
    int64_t offset = 0;                          // of the data, right after the field
    int64_t available = 0; // data bytes before the payload's end: declared (0 when that is
                           // negative) unless the file is cut short
};

// A length field stores each decimal digit d as the byte d + 10, most significant first.
// Decoding accepts any byte and wraps like 32-bit arithmetic, as every stub reads it.
constexpr unsigned char LengthDigitBias = 10;
int32_t DecodeEntryLength(const unsigned char field[LengthFieldDigits]);

// A running CRC-32 (zlib's convention: start from 0, each call returns the finished
// value); the stub and sfxpack bring their own.
using Crc32Function = uint32_t (*)(uint32_t crc, const void* data, size_t size);
// The CRC-32 of two runs of bytes one after the other, from the CRC-32 of each.
using Crc32Combine = uint32_t (*)(uint32_t first, uint32_t second, int64_t secondLength);

enum class WalkEnd {
    Walking,
    Complete, // entry 6 ended with nothing but padding after it, or entry 7 was read
    FieldCut, // the payload ends inside (or before) a length field
    EntryCut, // the payload ends inside an entry's data
};

// Reads an installer's payload the way the stub does, up to the payload's end: the
// title, then entry by entry the length field and the data. Entries 1 to 6 are always
// there; entry 7 only when bytes other than signing padding follow entry 6; nothing
// after entry 7.
//
// The seal's digest is the CRC-32 of the payload as this reader reads it, in file order:
// the title field, then each length field and the data it declares, up to GetPosition().
// Given a Crc32Function, the reader takes in every byte it reads; the data of an entry
// counts only once read through ReadData or accounted for by SkipData.
class CPayloadReader {
  public:
    CPayloadReader(CFileStream& file, const PayloadBounds& bounds, int32_t stubLength,
                   Crc32Function digest = nullptr);

    // The file holds at least one byte after the title field besides signing padding,
    // and the whole payload lies within the signed 32-bit positions the stub uses.
    bool HasPayload();
    // The title field; bytes beyond the payload's end (the file's, or a signature's
    // certificate table) read as blanks.
    void ReadTitle(char title[TitleFieldLength]);
    // The next entry's length field; false when the walk is over (see GetEnd). An entry
    // whose data is cut short is the last one. The file then stands at the entry's data.
    bool Next(PayloadEntry& entry);
    // Reads up to size bytes of the current entry's data, as far as the file holds them;
    // fewer than asked (and than the entry has left) only where a read fell short.
    size_t ReadData(void* buffer, size_t size);
    // The current entry's data, copied by other means: dataCrc is the CRC-32 of all of it.
    void SkipData(uint32_t dataCrc, Crc32Combine combine);

    const PayloadBounds& GetBounds() const { return m_bounds; }
    WalkEnd GetEnd() const { return m_end; }
    // Where the walk stands: after the last length field and the data it declares.
    int64_t GetPosition() const { return m_position; }
    // The digest of all the walk covered, once every entry's data was read or skipped.
    bool IsDigestWhole() const { return m_dataLeft == 0 && m_digestWhole; }
    uint32_t GetDigest() const { return m_digest; }

  private:
    void Digest(const void* data, size_t size);

    CFileStream& m_file;           // borrowed
    const PayloadBounds& m_bounds; // borrowed
    int32_t m_stubLength;
    int64_t m_position;
    int m_index = 0;
    WalkEnd m_end = WalkEnd::Walking;
    Crc32Function m_digestFunction;
    uint32_t m_digest = 0;
    int64_t m_dataLeft = 0; // of the current entry, not yet read or skipped
    bool m_digestWhole = true;
};

// Lays out a payload after the stub that output already holds: the title field, then
// each entry's length field, after which the caller writes exactly that many bytes of
// data. sfxpack alone links it (engine/payload_writer.cpp).
class CPayloadWriter {
  public:
    explicit CPayloadWriter(CFileStream& output) : m_output(output) {}

    // The payload's length for entries of these sizes, without the stub.
    static int64_t MeasurePayload(const int64_t* sizes, int count);

    bool WriteTitle(const char title[TitleFieldLength]);
    bool WriteEntryLength(int32_t length);
    // Writes the empty entries the layout requires after the last one given.
    bool Finish();

  private:
    CFileStream& m_output; // borrowed
    int m_entries = 0;
};

void EncodeEntryLength(int32_t length, unsigned char field[LengthFieldDigits]);

// Deletes every entry's file from folder, written or not, and then folder when that left
// it empty: what the stub and sfxpack extracted goes, anything else stays, and with it
// the folder. A file held open by another program is tried again for about three
// seconds, then left. folder is a name the 8-bit file functions take.
void DeleteEntryFiles(const char* folder);
