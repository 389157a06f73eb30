// tools/sfxpack/seal.h: finding a stub's seal in a file and storing the stub's length in it.
#pragma once

#include <stdint.h>
#include <stdio.h>

struct SealScan {
    int markers = 0;          // markers seen, counting stops at 2
    int64_t offset = -1;      // file offset of the first one
    int32_t storedLength = 0; // the length stored in the first one
};

// Scans an open file from its start. With firstOnly the scan ends at the first marker,
// which is the stub's own when the file is an installer: the stub comes first.
bool ScanForSeal(FILE* file, bool firstOnly, SealScan& scan);

enum class SealStatus {
    Sealed,         // the stub now records its own length
    NoMarker,       // not one of our stubs
    SeveralMarkers, // ambiguous: refusing to guess which block is the seal
    IoError,
};

// Stores the file's length in its seal; *length receives that length.
SealStatus SealStubFile(const char* path, int32_t* length);

// Reads the seal: Sealed when the stored length equals the file's length.
SealStatus CheckStubSeal(const char* path, int32_t* stored, int64_t* fileLength);
