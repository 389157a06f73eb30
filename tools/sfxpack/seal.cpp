// tools/sfxpack/seal.cpp: the seal is found by its marker and patched in place.
#include "tools/sfxpack/seal.h"

#include <string.h>

#include <vector>

#include "engine/seal.h"

namespace {

constexpr size_t ScanChunk = 64 * 1024;
// Bytes kept from one chunk to the next, so that a seal across the border is found.
constexpr size_t ScanOverlap = sizeof(StubSeal) - 1;

int32_t ReadLittleEndian32(const unsigned char* bytes) {
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                static_cast<uint32_t>(bytes[2]) << 16 |
                                static_cast<uint32_t>(bytes[3]) << 24);
}

int64_t FileLength(FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) {
        return -1;
    }
    return ftello(file);
}

// Scans a whole stub; a stub holds its marker exactly once.
SealStatus ScanStub(FILE* file, SealScan& scan) {
    if (!ScanForSeal(file, false, scan)) {
        return SealStatus::IoError;
    }
    if (scan.markers == 0) {
        return SealStatus::NoMarker;
    }
    return scan.markers == 1 ? SealStatus::Sealed : SealStatus::SeveralMarkers;
}

} // namespace

bool ScanForSeal(FILE* file, bool firstOnly, SealScan& scan) {
    scan = SealScan();
    if (fseeko(file, 0, SEEK_SET) != 0) {
        return false;
    }
    std::vector<unsigned char> buffer(ScanOverlap + ScanChunk);
    size_t kept = 0;
    int64_t base = 0; // file offset of buffer[0]
    for (;;) {
        size_t got = fread(buffer.data() + kept, 1, ScanChunk, file);
        if (got == 0) {
            return ferror(file) == 0;
        }
        size_t size = kept + got;
        for (size_t i = 0; i + sizeof(StubSeal) <= size; ++i) {
            if (memcmp(buffer.data() + i, StubSealMarker, StubSealMarkerLength) != 0) {
                continue;
            }
            if (++scan.markers == 1) {
                scan.offset = base + static_cast<int64_t>(i);
                scan.storedLength = ReadLittleEndian32(buffer.data() + i + StubSealMarkerLength);
            }
            if (firstOnly || scan.markers == 2) {
                return true;
            }
        }
        kept = size < ScanOverlap ? size : ScanOverlap;
        memmove(buffer.data(), buffer.data() + size - kept, kept);
        base += static_cast<int64_t>(size - kept);
    }
}

SealStatus SealStubFile(const char* path, int32_t* length) {
    FILE* file = fopen(path, "r+b");
    if (file == nullptr) {
        return SealStatus::IoError;
    }
    SealScan scan;
    SealStatus status = ScanStub(file, scan);
    int64_t fileLength = FileLength(file);
    if (status == SealStatus::Sealed) {
        if (fileLength < 0 || fileLength > INT32_MAX) {
            status = SealStatus::IoError;
        } else {
            uint32_t value = static_cast<uint32_t>(fileLength);
            unsigned char bytes[4] = {
                static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
            bool written = fseeko(file, scan.offset + StubSealMarkerLength, SEEK_SET) == 0 &&
                           fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes && fflush(file) == 0;
            status = written ? SealStatus::Sealed : SealStatus::IoError;
            *length = static_cast<int32_t>(fileLength);
        }
    }
    if (fclose(file) != 0 && status == SealStatus::Sealed) {
        status = SealStatus::IoError;
    }
    return status;
}

SealStatus CheckStubSeal(const char* path, int32_t* stored, int64_t* fileLength) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return SealStatus::IoError;
    }
    SealScan scan;
    SealStatus status = ScanStub(file, scan);
    *stored = scan.storedLength;
    *fileLength = FileLength(file);
    fclose(file);
    return status;
}
