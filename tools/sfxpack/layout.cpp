// tools/sfxpack/layout.cpp: walking an installer's payload without copying it.
#include "tools/sfxpack/layout.h"

#include <inttypes.h>
#include <string.h>

#include <vector>

#include "engine/crc32_fast.h"
#include "engine/program_file.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"
#include "tools/sfxpack/sysfile.h"

namespace {

// The stub reads every position as a signed 32-bit value.
constexpr int64_t LargestInstaller = INT32_MAX;
// Mapped at a time to be digested: few calls, and little of a 32-bit address space.
constexpr int64_t ViewPiece = 16 << 20;
// Digested, then written, at a time: the write finds the bytes still in the caches.
constexpr size_t CachePiece = 1 << 20;

// A length field the packer would write for its own value: only then does it hold ten
// digits of a length the stub reads as it was meant.
bool IsCanonicalField(const unsigned char field[LengthFieldDigits]) {
    int32_t length = DecodeEntryLength(field);
    unsigned char again[LengthFieldDigits];
    EncodeEntryLength(length, again);
    return length >= 0 && memcmp(field, again, LengthFieldDigits) == 0;
}

void SetProblem(PayloadLayout& layout, LayoutProblem problem, int entry, int64_t bytes) {
    layout.problem = problem;
    layout.problemEntry = entry;
    layout.problemBytes = bytes;
}

std::string EntryLabel(int entry) { return FormatText("entry %d (%s)", entry + 1, EntryFileName(entry)); }

} // namespace

const char* EntryFileName(int entry) { return PayloadEntryTable[entry] + 1; }

namespace {

struct DigestedPiece {
    const unsigned char* bytes;
    size_t size;
    CFileStream* output; // or nullptr
    CCrc32Fast* crc;
};

// Digests a piece, and writes it where there is an output, a cache's worth at a time.
bool DigestAndWrite(void* context) {
    const DigestedPiece& piece = *static_cast<DigestedPiece*>(context);
    for (size_t at = 0; at < piece.size; at += CachePiece) {
        const size_t part = piece.size - at < CachePiece ? piece.size - at : CachePiece;
        piece.crc->Update(piece.bytes + at, part);
        if (piece.output != nullptr && !piece.output->WriteThrough(piece.bytes + at, part)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool CopyDigesting(CFileStream& source, int64_t offset, int64_t length, CFileStream* output,
                   CCrc32Fast& crc) {
    CFileView view;
    std::vector<unsigned char> buffer; // only for a file the system cannot map
    for (int64_t done = 0; done < length;) {
        const size_t piece = static_cast<size_t>(length - done < ViewPiece ? length - done : ViewPiece);
        const unsigned char* bytes = view.Map(source, offset + done, piece) ? view.GetData() : nullptr;
        if (bytes == nullptr) {
            buffer.resize(piece);
            if (!source.Seek(offset + done) || source.Read(buffer.data(), piece) != piece) {
                return false;
            }
            bytes = buffer.data();
        }
        DigestedPiece work = {bytes, piece, output, &crc};
        if (!ReadViewsGuarded(DigestAndWrite, &work)) {
            return false;
        }
        done += static_cast<int64_t>(piece);
    }
    return true;
}

bool DigestRange(CFileStream& file, int64_t from, int64_t to, uint32_t& digest) {
    CCrc32Fast crc;
    const bool read = CopyDigesting(file, from, to - from, nullptr, crc);
    digest = crc.GetValue();
    return read;
}

void ReadPayloadLayout(CFileStream& file, const PayloadSeal& seal, PayloadLayout& layout, bool readDigest) {
    layout = PayloadLayout();
    const int32_t stubLength = layout.stubLength = seal.stubLength;
    layout.hasDigest = seal.hasDigest;
    layout.sealedDigest = seal.digest;
    CPayloadWalk walk(file, stubLength);
    const PayloadBounds& bounds = layout.bounds = walk.GetBounds();
    layout.fileLength = bounds.fileLength;
    const int64_t end = bounds.end;
    if (bounds.signature == Signature::Misplaced) {
        return SetProblem(layout, LayoutProblem::TableMisplaced, 0, bounds.tableOffset);
    }
    if (bounds.signature == Signature::AtEnd && bounds.tableOffset < stubLength) {
        return SetProblem(layout, LayoutProblem::TableOverlaps, 0, bounds.tableOffset);
    }
    if (end > LargestInstaller) {
        return SetProblem(layout, LayoutProblem::TooLarge, 0, end);
    }
    if (stubLength < 0 || stubLength > end) {
        return SetProblem(layout, LayoutProblem::StubBeyondEnd, 0, end);
    }
    if (stubLength == end || IsSigningPadding(file, bounds, stubLength)) {
        return SetProblem(layout, LayoutProblem::NoPayload, 0, 0);
    }
    if (end - stubLength < TitleFieldLength) {
        return SetProblem(layout, LayoutProblem::TitleCut, 0, end - stubLength);
    }
    file.Seek(stubLength);
    CString title = ReadTitleField(file);
    layout.title.assign(title.GetString(), static_cast<size_t>(title.GetLength()));

    PayloadEntry walked;
    while (walk.Next(walked)) {
        if (!IsCanonicalField(walked.field)) {
            memcpy(layout.badField, walked.field, LengthFieldDigits);
            return SetProblem(layout, LayoutProblem::BadField, walked.index, 0);
        }
        LayoutEntry& entry = layout.entries[walked.index];
        entry.declared = walked.declared;
        entry.offset = walked.offset;
        entry.available = walked.available;
        layout.entryCount = walked.index + 1;
    }
    const int64_t position = walk.GetPosition();
    // The stub's digest covers what its walk reads: the title, and each length field with
    // the data it declares.
    if (layout.hasDigest && readDigest && walk.GetEnd() == WalkEnd::Complete) {
        layout.digestRead = DigestRange(file, stubLength, position, layout.digest);
    }
    switch (walk.GetEnd()) {
    case WalkEnd::FieldCut:
        return SetProblem(layout, LayoutProblem::FieldCut, layout.entryCount, end - position);
    case WalkEnd::EntryCut:
        return SetProblem(layout, LayoutProblem::EntryCut, layout.entryCount - 1,
                          layout.entries[layout.entryCount - 1].available);
    case WalkEnd::Complete:
    case WalkEnd::Walking:
        break;
    }
    if (position < end && !IsSigningPadding(file, bounds, position)) {
        return SetProblem(layout, LayoutProblem::TrailingBytes, PayloadEntryCount - 1, end - position);
    }
    if (readDigest) {
        CheckPayloadDigest(layout, layout.digestRead, layout.digest);
    }
}

void CheckPayloadDigest(PayloadLayout& layout, bool read, uint32_t digest) {
    layout.digestRead = read;
    layout.digest = digest;
    if (layout.hasDigest && layout.IsComplete() && (!read || digest != layout.sealedDigest)) {
        SetProblem(layout, LayoutProblem::DigestMismatch, 0, 0);
    }
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
            static_cast<long long>(layout.fileLength));
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
    if (!ScanForSeal(file, true, scan)) {
        return Fail(ExitIoError, "%s: read error", path.c_str());
    }
    if (scan.markers == 0 && stubLengthOption < 0) {
        return Fail(ExitBadInput,
                    "%s: no seal found, so the stub length is unknown; give it with --stub-length N "
                    "(%ld for the classic stub)",
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
                            PayloadLayout& layout, bool readDigest) {
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
    PayloadSeal seal;
    CommandResult found = FindSeal(path, file, stubLengthOption, seal);
    if (!found.Failed()) {
        ReadPayloadLayout(file, seal, layout, readDigest);
    }
    return found;
}
