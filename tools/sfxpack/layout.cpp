// tools/sfxpack/layout.cpp: walking an installer's payload without copying it.
#include "tools/sfxpack/layout.h"

#include <inttypes.h>
#include <string.h>

#include "engine/program_file.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"
#include "tools/sfxpack/sysfile.h"

namespace {

// The stub reads every position as a signed 32-bit value.
constexpr int64_t LargestInstaller = INT32_MAX;

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

void ReadPayloadLayout(CFileStream& file, int32_t stubLength, PayloadLayout& layout) {
    layout = PayloadLayout();
    layout.stubLength = stubLength;
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
        SetProblem(layout, LayoutProblem::TrailingBytes, PayloadEntryCount - 1, end - position);
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
    }
    return std::string();
}

namespace {

// The stub length of an open installer: stubLengthOption when it is not negative, else
// what the seal at the start of the file records. path is for messages.
CommandResult FindStubLength(const std::string& path, CFileStream& file, long long stubLengthOption,
                             int32_t& stubLength) {
    if (stubLengthOption >= 0) {
        stubLength = static_cast<int32_t>(stubLengthOption);
        return Succeed();
    }
    SealScan scan;
    if (!ScanForSeal(file, true, scan)) {
        return Fail(ExitIoError, "%s: read error", path.c_str());
    }
    if (scan.markers == 0) {
        return Fail(ExitBadInput,
                    "%s: no seal found, so the stub length is unknown; give it with --stub-length N "
                    "(%ld for the classic stub)",
                    path.c_str(), static_cast<long>(UnsealedStubLength));
    }
    stubLength = scan.storedLength;
    return Succeed();
}

} // namespace

CommandResult OpenInstaller(const std::string& path, long long stubLengthOption, CFileStream& file,
                            PayloadLayout& layout) {
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
    int32_t stubLength = 0;
    CommandResult found = FindStubLength(path, file, stubLengthOption, stubLength);
    if (!found.Failed()) {
        ReadPayloadLayout(file, stubLength, layout);
    }
    return found;
}
