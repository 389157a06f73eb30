// tools/sfxpack/seal.cpp: the seal is found by its marker and patched in place.
#include "tools/sfxpack/seal.h"

#include <string.h>

#include <vector>

#include "engine/bounds.h"
#include "engine/seal.h"

namespace {

constexpr size_t ScanChunk = 64 * 1024;
// Bytes kept from one chunk to the next, so that a seal across the border is found.
constexpr size_t ScanOverlap = sizeof(StubSeal) - 1;

// Scans a whole stub; a stub holds its marker exactly once.
SealStatus ScanStub(CFileStream& file, SealScan& scan) {
    if (!ScanForSeal(file, false, scan)) {
        return SealStatus::IoError;
    }
    if (scan.markers == 0) {
        return SealStatus::NoMarker;
    }
    return scan.markers == 1 ? SealStatus::Sealed : SealStatus::SeveralMarkers;
}

} // namespace

bool ScanForSeal(CFileStream& file, bool firstOnly, SealScan& scan) {
    scan = SealScan();
    if (!file.SeekToEnd()) {
        return false;
    }
    scan.fileLength = file.GetPosition();
    if (!file.Seek(0)) {
        return false;
    }
    std::vector<unsigned char> buffer(ScanOverlap + ScanChunk);
    size_t kept = 0;
    int64_t base = 0; // file offset of buffer[0]
    for (;;) {
        size_t got = file.Read(buffer.data() + kept, ScanChunk);
        if (got == 0) {
            // A read that failed ends the scan early.
            return file.GetPosition() == scan.fileLength;
        }
        size_t size = kept + got;
        for (size_t i = 0; i + sizeof(StubSeal) <= size; ++i) {
            if (memcmp(buffer.data() + i, StubSealMarker, StubSealMarkerLength) != 0) {
                continue;
            }
            if (++scan.markers == 1) {
                scan.offset = base + static_cast<int64_t>(i);
                scan.storedLength =
                    static_cast<int32_t>(ReadLittleEndian(buffer.data() + i + StubSealMarkerLength, 4));
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
    CFileStream file;
    if (!file.Open(path, CFileStream::modeRead)) {
        return SealStatus::IoError;
    }
    SealScan scan;
    SealStatus status = ScanStub(file, scan);
    file.Close();
    if (status != SealStatus::Sealed) {
        return status;
    }
    if (scan.fileLength > INT32_MAX) {
        return SealStatus::IoError;
    }
    uint32_t value = static_cast<uint32_t>(scan.fileLength);
    unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16),
                              static_cast<unsigned char>(value >> 24)};
    bool written = file.Open(path, CFileStream::modeUpdate) &&
                   file.Seek(scan.offset + StubSealMarkerLength) && file.Write(bytes, sizeof bytes);
    if (!file.Close() || !written) {
        return SealStatus::IoError;
    }
    *length = static_cast<int32_t>(scan.fileLength);
    return SealStatus::Sealed;
}

SealStatus CheckStubSeal(const char* path, int32_t* stored, int64_t* fileLength) {
    CFileStream file;
    if (!file.Open(path, CFileStream::modeRead)) {
        return SealStatus::IoError;
    }
    SealScan scan;
    SealStatus status = ScanStub(file, scan);
    *stored = scan.storedLength;
    *fileLength = scan.fileLength;
    return status;
}
