// tools/sfxpack/seal.cpp: the seal is found by its marker and patched in place.
#include "tools/sfxpack/seal.h"

#include <string.h>

#include <vector>

#include "engine/bounds.h"
#include "engine/seal.h"
#include "tools/sfxpack/pe_checksum.h"

namespace {

constexpr size_t ScanChunk = 64 * 1024;
// Bytes kept from one chunk to the next, so that a seal across the border is found.
constexpr size_t ScanOverlap = sizeof(StubSeal) - 1;

// Writes value, little-endian, at offset of an existing file.
bool PatchFile(const char* path, int64_t offset, uint32_t value) {
    unsigned char bytes[4];
    StoreLittleEndian(value, bytes);
    CFileStream file;
    bool written = file.Open(path, CFileStream::modeUpdate) && file.Seek(offset) && file.Write(bytes, 4);
    return file.Close() && written;
}

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

bool ScanForSeal(CFileStream& file, bool firstOnly, SealScan& scan, int64_t limit) {
    scan = SealScan();
    if (!file.SeekToEnd()) {
        return false;
    }
    scan.fileLength = file.GetPosition();
    const int64_t stop = limit < scan.fileLength - static_cast<int64_t>(sizeof(StubSeal))
                             ? limit + static_cast<int64_t>(sizeof(StubSeal))
                             : scan.fileLength;
    if (!file.Seek(0)) {
        return false;
    }
    std::vector<unsigned char> buffer(ScanOverlap + ScanChunk);
    size_t kept = 0;
    int64_t base = 0; // file offset of buffer[0]
    for (;;) {
        const int64_t left = stop - file.GetPosition();
        const size_t got =
            file.Read(buffer.data() + kept,
                      left < static_cast<int64_t>(ScanChunk) ? static_cast<size_t>(left) : ScanChunk);
        const size_t size = kept + got;
        // Once the file is read, the bytes kept may still hold an older, shorter block.
        const size_t room = got == 0 ? SealDigestOffset : sizeof(StubSeal);
        for (size_t i = 0; i + room <= size; ++i) {
            // A marker starts with the one byte: the library's search skips to the next.
            const void* next = memchr(buffer.data() + i, StubSealMarker[0], size - room + 1 - i);
            if (next == nullptr) {
                break;
            }
            i = static_cast<size_t>(static_cast<const unsigned char*>(next) - buffer.data());
            if (memcmp(buffer.data() + i, StubSealMarker, StubSealMarkerLength) != 0) {
                continue;
            }
            if (++scan.markers == 1) {
                const unsigned char* seal = buffer.data() + i;
                scan.offset = base + static_cast<int64_t>(i);
                scan.storedLength = static_cast<int32_t>(ReadLittleEndian(seal + StubSealMarkerLength, 4));
                if (i + sizeof(StubSeal) <= size) {
                    scan.digestState = ReadLittleEndian(seal + SealDigestOffset, 4);
                    scan.digest = ReadLittleEndian(seal + SealDigestOffset + 4, 4);
                }
            }
            if (firstOnly || scan.markers == 2) {
                return true;
            }
        }
        if (got == 0) {
            // A read that failed ends the scan early.
            return file.GetPosition() == stop;
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
    const uint32_t value = static_cast<uint32_t>(scan.fileLength);
    PeChecksum checksum;
    if (!PatchFile(path, scan.offset + StubSealMarkerLength, value) ||
        !file.Open(path, CFileStream::modeRead) || !MeasurePeChecksum(file, checksum) || !file.Close() ||
        (!checksum.IsTrue() && !PatchFile(path, checksum.field, checksum.computed))) {
        return SealStatus::IoError;
    }
    *length = static_cast<int32_t>(scan.fileLength);
    return SealStatus::Sealed;
}

SealStatus CheckStubSeal(const char* path, SealScan& scan) {
    CFileStream file;
    if (!file.Open(path, CFileStream::modeRead)) {
        return SealStatus::IoError;
    }
    return ScanStub(file, scan);
}

bool SealScan::CanCarryDigest() const { return digestState == SealHasNoDigest || HasDigest(); }

bool SealScan::HasDigest() const { return digestState == SealHasCrc32; }
