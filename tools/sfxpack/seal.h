// tools/sfxpack/seal.h: finding a stub's seal in a file and storing the stub's length in it.
#pragma once

#include <stdint.h>

#include "platform/file.h"

struct SealScan {
    int markers = 0;          // markers seen, counting stops at 2
    int64_t offset = -1;      // file offset of the first one
    int32_t storedLength = 0; // the length stored in the first one
    int64_t fileLength = 0;   // of the whole file
};

// Scans an open file from its start. With firstOnly the scan ends at the first marker,
// which is the stub's own when the file is an installer: the stub comes first. False
// when the file could not be read to its end (or to that marker).
bool ScanForSeal(CFileStream& file, bool firstOnly, SealScan& scan);

enum class SealStatus {
    Sealed,         // the stub now records its own length
    NoMarker,       // not one of our stubs
    SeveralMarkers, // ambiguous: refusing to guess which block is the seal
    IoError,
};

// Paths are as CFileStream takes them.
// Stores the file's length in its seal; *length receives that length.
SealStatus SealStubFile(const char* path, int32_t* length);

// Reads the seal: Sealed when the stored length equals the file's length.
SealStatus CheckStubSeal(const char* path, int32_t* stored, int64_t* fileLength);
