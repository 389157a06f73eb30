// tools/sfxpack/layout.h: an installer's payload as sfxpack reads it for list, verify
// and extract: where each entry lies, and the first thing that keeps the payload from
// being complete and consistent.
#pragma once

#include <stdint.h>

#include <string>

#include "engine/bounds.h"
#include "engine/walk.h"
#include "tools/sfxpack/cli.h"

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
};

struct LayoutEntry {
    int32_t declared = 0;  // the length its field gives
    int64_t offset = 0;    // of the data, just after the length field
    int64_t available = 0; // bytes of data the file really holds, at most declared
};

struct PayloadLayout {
    int32_t stubLength = 0;
    int64_t fileLength = 0;
    PayloadBounds bounds; // where the payload ends, and the signature
    std::string title;    // the 40 bytes as stored; empty when the field is cut
    int entryCount = 0;   // entries whose length field could be read
    LayoutEntry entries[PayloadEntryCount];

    LayoutProblem problem = LayoutProblem::None;
    int problemEntry = 0;     // the entry concerned, 0-based
    int64_t problemBytes = 0; // the bytes present, or following, for the message
    unsigned char badField[LengthFieldDigits] = {};

    bool IsComplete() const { return problem == LayoutProblem::None; }
};

// Walks the payload of an open installer that starts its payload at stubLength, the way
// the stub does, and records the first problem met. Reads only the fixed parts. Stricter
// than the stub, it also takes as problems what the stub would read without complaint
// but no packer writes: a length field other than ten digits of 0 to 2^31 - 1, bytes
// after the last entry, a certificate table the stub would take for payload.
void ReadPayloadLayout(CFileStream& file, int32_t stubLength, PayloadLayout& layout);

// The problem as a one-line message, e.g. "entry 3 (setup.aux) declares 5000 bytes but
// the file ends after 1200"; empty when there is none.
std::string DescribeProblem(const PayloadLayout& layout);

// An entry's file name: its PayloadEntryTable name without the separator.
const char* EntryFileName(int entry);

// Opens an installer and reads its layout; the stub length is stubLengthOption when it
// is not negative, else what the seal at the start of the file records.
CommandResult OpenInstaller(const std::string& path, long long stubLengthOption, CFileStream& file,
                            PayloadLayout& layout);
