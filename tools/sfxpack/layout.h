// tools/sfxpack/layout.h: an installer's payload as sfxpack reads it for list, verify
// and extract: where each entry lies, and the first thing that keeps the payload from
// being complete and consistent.
#pragma once

#include <stdint.h>

#include <string>

#include <zlib.h>

#include "engine/bounds.h"
#include "engine/payload.h"
#include "tools/sfxpack/cli.h"

// The payload's CRC-32 is the stub's own (engine/crc32.h), which folds with carry-less
// multiplication: zlib's, at about 4 GB/s here, takes as long as the whole copy and
// cannot hide beside it. zlib joins the CRCs of pieces digested apart.
inline uint32_t CombineZlibCrc32(uint32_t first, uint32_t second, int64_t secondLength) {
    return static_cast<uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(secondLength)));
}

enum class LayoutProblem {
    None,
    TableMisplaced, // a signature claimed, without a well-formed table that ends the file
    TableOverlaps,  // the certificate table begins inside the stub
    TooLarge,       // the payload reaches 2^31 bytes; the stub's positions are 32-bit
    StubBeyondEnd,  // the stub length is negative or lies beyond the end of the payload
    NoPayload,      // the file ends where the stub does
    TitleCut,       // the file ends inside the title field
    FieldCut,       // the file ends inside (or before) a length field
    BadField,       // a length field is not ten digits of a length 0 .. 2^31 - 1
    EntryCut,       // the file ends inside an entry's data
    TrailingBytes,  // bytes follow the last entry
    DigestMismatch, // the payload's CRC-32 is not the one its seal records
};

struct PayloadLayout {
    int32_t stubLength = 0;
    PayloadBounds bounds; // the file's length, where the payload ends, and the signature
    // The payload's CRC-32 as the seal records it, and as the walked payload gives it:
    // read only when the seal records one and every length field could be walked.
    bool hasDigest = false;
    uint32_t sealedDigest = 0;
    bool digestRead = false;
    uint32_t digest = 0;
    std::string title;  // the 40 bytes as stored; empty when the field is cut
    int entryCount = 0; // entries whose length field could be read: those the stub writes
    PayloadEntry entries[PayloadEntryCount];

    LayoutProblem problem = LayoutProblem::None;
    int problemEntry = 0;     // the entry concerned, 0-based
    int64_t problemBytes = 0; // the bytes present, or following, for the message
    unsigned char badField[LengthFieldDigits] = {};

    bool IsComplete() const { return problem == LayoutProblem::None; }
    // The seal as the stub reads it.
    PayloadSeal GetSeal() const { return {stubLength, hasDigest, sealedDigest}; }
};

// Copies each entry's data where it belongs while the payload is walked (extract).
class CEntryCopier {
  public:
    virtual ~CEntryCopier() = default;
    // Copies the data of entry, as far as the file holds it, and gives its CRC-32 in
    // dataCrc unless that is null: where the digest is not checked; false ends the walk
    // (the copier keeps why).
    virtual bool Copy(const PayloadEntry& entry, uint32_t* dataCrc) = 0;
};

// Walks the payload of an open installer whose seal is given, the way the stub does, and
// records the first problem met. Stricter than the stub, it also takes as problems what
// the stub would read without complaint but no packer writes: a length field other than
// ten digits of 0 to 2^31 - 1, bytes after the last entry, a certificate table the stub
// would take for payload. Where the seal records a digest, the walk takes in the whole
// payload: the data read here, or, given a copier, copied by it. False when the copier
// ended the walk.
bool ReadPayloadLayout(CFileStream& file, const PayloadSeal& seal, PayloadLayout& layout,
                       CEntryCopier* copier = nullptr);

// The problem as a one-line message, e.g. "entry 3 (setup.aux) declares 5000 bytes but
// the file ends after 1200"; empty when there is none.
std::string DescribeProblem(const PayloadLayout& layout);

// An entry's file name: its PayloadEntryTable name without the separator.
const char* EntryFileName(int entry);

// The seal of an open installer as its stub reads it: the first in the file. The stub
// length is stubLengthOption when it is not negative, else what the seal records; the
// digest is the seal's when it lies inside the stub. path is for messages.
CommandResult FindSeal(const std::string& path, CFileStream& file, long long stubLengthOption,
                       PayloadSeal& seal);

// Opens an installer for ReadPayloadLayout, with its seal as FindSeal finds it.
CommandResult OpenInstaller(const std::string& path, long long stubLengthOption, CFileStream& file,
                            PayloadSeal& seal);
