// tools/sfxpack/seal.h: finding a stub's seal in a file and storing the stub's length in it.
#pragma once

#include <stdint.h>

#include "platform/system/file.h"

struct SealScan {
    int markers = 0;          // markers seen, counting stops at 2
    int64_t offset = -1;      // file offset of the first one
    int32_t storedLength = 0; // the length stored in the first one
    uint32_t digestState = 0; // the word after it: SealHasNoDigest or SealHasCrc32 in a
                              // stub that can carry a digest, other data in older ones
    uint32_t digest = 0;
    int64_t fileLength = 0; // of the whole file

    bool CanCarryDigest() const;
    bool HasDigest() const;
};

// Scans an open file from its start, for seals that begin before limit. With firstOnly the
// scan ends at the first marker, which is the stub's own when the file is an installer:
// the stub comes first. False when the file could not be read to its end (or to that
// marker, or past limit).
bool ScanForSeal(CFileStream& file, bool firstOnly, SealScan& scan, int64_t limit = INT64_MAX);

enum class SealStatus {
    Sealed,         // the stub now records its own length
    NoMarker,       // not one of our stubs
    SeveralMarkers, // ambiguous: refusing to guess which block is the seal
    IoError,
};

// Paths are as CFileStream takes them.
// Stores the file's length in its seal, and then the file's own checksum in its PE
// header when it has one; *length receives that length.
SealStatus SealStubFile(const char* path, int32_t* length);

// Reads a stub's seal into scan; Sealed when the stub has exactly one (whatever length it
// records).
SealStatus CheckStubSeal(const char* path, SealScan& scan);
