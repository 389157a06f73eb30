// tools/sfxpack/layout.cpp: walking an installer's payload without copying it.
#include "tools/sfxpack/layout.h"

#include <inttypes.h>
#include <string.h>

#include <vector>

#include "engine/crc32.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"
#include "tools/sfxpack/sysfile.h"

namespace {

// The stub reads every position as a signed 32-bit value.
constexpr int64_t LargestInstaller = INT32_MAX;
// Read and digested at a time.
constexpr size_t DataPiece = 1 << 20;

// A length field the packer would write for its own value: only then does it hold ten
// digits of a length the stub reads as it was meant.
bool IsCanonicalField(const unsigned char field[LengthFieldDigits]) {
    int32_t length = DecodeEntryLength(field);
    unsigned char again[LengthFieldDigits];
    EncodeEntryLength(length, again);
    return length >= 0 && memcmp(field, again, LengthFieldDigits) == 0;
}

// The first problem met is the one told.
void SetProblem(PayloadLayout& layout, LayoutProblem problem, int entry, int64_t bytes) {
    if (!layout.IsComplete()) {
        return;
    }
    layout.problem = problem;
    layout.problemEntry = entry;
    layout.problemBytes = bytes;
}

std::string EntryLabel(int entry) { return FormatText("entry %d (%s)", entry + 1, EntryFileName(entry)); }

// Reads the current entry's data through the reader, which digests it; false when the
// file ends early.
bool ReadEntryData(CPayloadReader& reader, const PayloadEntry& entry, std::vector<unsigned char>& buffer) {
    buffer.resize(DataPiece);
    for (int64_t left = entry.available; left > 0;) {
        const size_t piece = left < static_cast<int64_t>(DataPiece) ? static_cast<size_t>(left) : DataPiece;
        if (reader.ReadData(buffer.data(), piece) != piece) {
            return false;
        }
        left -= static_cast<int64_t>(piece);
    }
    return true;
}

} // namespace

const char* EntryFileName(int entry) { return PayloadEntryTable[entry] + 1; }

bool ReadPayloadLayout(CFileStream& file, const PayloadSeal& seal, PayloadLayout& layout,
                       CEntryCopier* copier) {
    layout = PayloadLayout();
    const int32_t stubLength = layout.stubLength = seal.stubLength;
    layout.hasDigest = seal.hasDigest;
    layout.sealedDigest = seal.digest;
    const PayloadBounds& bounds = layout.bounds = FindPayloadBounds(file);
    const int64_t end = bounds.end;
    // The stub's extraction still reads such a payload, up to the end of the file.
    if (bounds.signature == Signature::Misplaced) {
        SetProblem(layout, LayoutProblem::TableMisplaced, 0, bounds.tableOffset);
    }
    if (bounds.signature == Signature::AtEnd && bounds.tableOffset < stubLength) {
        SetProblem(layout, LayoutProblem::TableOverlaps, 0, bounds.tableOffset);
        return true;
    }
    if (end > LargestInstaller) {
        SetProblem(layout, LayoutProblem::TooLarge, 0, end);
        return true;
    }
    if (stubLength < 0 || stubLength > end) {
        SetProblem(layout, LayoutProblem::StubBeyondEnd, 0, end);
        return true;
    }
    if (stubLength == end || IsSigningPadding(file, bounds, stubLength)) {
        SetProblem(layout, LayoutProblem::NoPayload, 0, 0);
        return true;
    }
    if (end - stubLength < TitleFieldLength) {
        SetProblem(layout, LayoutProblem::TitleCut, 0, end - stubLength);
        return true;
    }
    CPayloadReader reader(file, bounds, stubLength, layout.hasDigest ? UpdateCrc32 : nullptr);
    char title[TitleFieldLength];
    reader.ReadTitle(title);
    layout.title.assign(title, TitleFieldLength);

    std::vector<unsigned char> buffer;
    PayloadEntry entry;
    while (reader.Next(entry)) {
        layout.entries[entry.index] = entry;
        layout.entryCount = entry.index + 1;
        if (!IsCanonicalField(entry.field) && layout.IsComplete()) {
            memcpy(layout.badField, entry.field, LengthFieldDigits);
            SetProblem(layout, LayoutProblem::BadField, entry.index, 0);
        }
        uint32_t dataCrc = 0;
        if (copier != nullptr) {
            // An entry cut short ends the walk before the digest could be checked.
            const bool checked = layout.hasDigest && reader.GetEnd() == WalkEnd::Walking;
            if (!copier->Copy(entry, checked ? &dataCrc : nullptr)) {
                return false;
            }
            reader.SkipData(dataCrc, CombineZlibCrc32);
        } else if (layout.hasDigest && !ReadEntryData(reader, entry, buffer)) {
            break;
        }
    }
    const int64_t position = reader.GetPosition();
    switch (reader.GetEnd()) {
    case WalkEnd::FieldCut:
        SetProblem(layout, LayoutProblem::FieldCut, layout.entryCount, end - position);
        break;
    case WalkEnd::EntryCut:
        SetProblem(layout, LayoutProblem::EntryCut, layout.entryCount - 1,
                   layout.entries[layout.entryCount - 1].available);
        break;
    case WalkEnd::Complete:
    case WalkEnd::Walking:
        break;
    }
    if (position < end && !IsSigningPadding(file, bounds, position)) {
        SetProblem(layout, LayoutProblem::TrailingBytes, PayloadEntryCount - 1, end - position);
    }
    // The digest covers the payload as the stub reads it, so it is checked only where the
    // walk reached its end.
    layout.digestRead = layout.hasDigest && reader.GetEnd() == WalkEnd::Complete && reader.IsDigestWhole();
    layout.digest = reader.GetDigest();
    if (layout.hasDigest && (!layout.digestRead || layout.digest != layout.sealedDigest)) {
        SetProblem(layout, LayoutProblem::DigestMismatch, 0, 0);
    }
    return true;
}

std::string DescribeProblem(const PayloadLayout& layout) {
    const int entry = layout.problemEntry;
    const long long bytes = layout.problemBytes;
    switch (layout.problem) {
    case LayoutProblem::None:
        return std::string();
    case LayoutProblem::TableMisplaced:
        return FormatText(
            "the PE header claims a signature, but its certificate table at %lld (%lld bytes) "
            "is no well-formed table ending the file (%lld bytes); the stub refuses it as damaged",
            bytes, static_cast<long long>(layout.bounds.tableSize),
            static_cast<long long>(layout.bounds.fileLength));
    case LayoutProblem::TableOverlaps:
        return FormatText("the certificate table at %lld begins inside the stub (%ld bytes)", bytes,
                          static_cast<long>(layout.stubLength));
    case LayoutProblem::TooLarge:
        return FormatText("the file is %lld bytes; the stub reads at most %" PRId64, bytes, LargestInstaller);
    case LayoutProblem::StubBeyondEnd:
        return FormatText("the stub length %ld does not fit the file (%lld bytes)",
                          static_cast<long>(layout.stubLength), bytes);
    case LayoutProblem::NoPayload:
        return FormatText("no payload: the file ends where the stub does, after %ld bytes",
                          static_cast<long>(layout.stubLength));
    case LayoutProblem::TitleCut:
        return FormatText("the title field is cut short: the file ends %lld bytes into it", bytes);
    case LayoutProblem::FieldCut:
        if (bytes == 0) {
            return EntryLabel(entry) + ": the length field is missing: the file ends before it";
        }
        return EntryLabel(entry) +
               FormatText(": the length field is cut short: the file ends %lld bytes into it", bytes);
    case LayoutProblem::BadField: {
        std::string hex;
        for (unsigned char byte : layout.badField) {
            hex += FormatText(hex.empty() ? "%02x" : " %02x", byte);
        }
        return EntryLabel(entry) + ": the length field (" + hex + ") is not a length from 0 to 2147483647";
    }
    case LayoutProblem::EntryCut:
        return EntryLabel(entry) + FormatText(" declares %ld bytes but the file ends after %lld",
                                              static_cast<long>(layout.entries[entry].declared), bytes);
    case LayoutProblem::TrailingBytes:
        return FormatText("%lld bytes follow the last entry; the stub never reads them", bytes);
    case LayoutProblem::DigestMismatch:
        if (!layout.digestRead) {
            return "the payload cannot be read to check its CRC-32";
        }
        return FormatText("the payload's CRC-32 is %08lx but the seal records %08lx: the installer is "
                          "damaged, changed since it was built",
                          static_cast<unsigned long>(layout.digest),
                          static_cast<unsigned long>(layout.sealedDigest));
    }
    return std::string();
}

CommandResult FindSeal(const std::string& path, CFileStream& file, long long stubLengthOption,
                       PayloadSeal& seal) {
    SealScan scan;
    // A seal past the stub would not count: given the stub's length, the scan ends there.
    if (!ScanForSeal(file, true, scan, stubLengthOption >= 0 ? stubLengthOption : INT64_MAX)) {
        return Fail(ExitIoError, "%s: read error", path.c_str());
    }
    if (scan.markers == 0 && stubLengthOption < 0) {
        return Fail(ExitBadInput,
                    "%s: no seal found, so the stub length is unknown; give it with --stub-length N "
                    "(%ld is what an unsealed stub of ours claims)",
                    path.c_str(), static_cast<long>(UnsealedStubLength));
    }
    seal.stubLength = stubLengthOption >= 0 ? static_cast<int32_t>(stubLengthOption) : scan.storedLength;
    // A seal past the stub belongs to the payload, perhaps to another installer in it.
    seal.hasDigest = scan.markers > 0 && scan.HasDigest() &&
                     scan.offset + static_cast<int64_t>(sizeof(StubSeal)) <= seal.stubLength;
    seal.digest = scan.digest;
    return Succeed();
}

CommandResult OpenInstaller(const std::string& path, long long stubLengthOption, CFileStream& file,
                            PayloadSeal& seal) {
    FileInfo info;
    if (!GetPathInfo(path, info)) {
        return Fail(ExitIoError, "%s: %s", path.c_str(), GetSystemErrorText().c_str());
    }
    if (info.isDirectory) {
        return Fail(ExitBadInput, "%s: is a directory, not an installer", path.c_str());
    }
    if (!OpenFile(file, path, CFileStream::modeRead)) {
        return Fail(ExitIoError, "%s: %s", path.c_str(), GetSystemErrorText().c_str());
    }
    return FindSeal(path, file, stubLengthOption, seal);
}
