// tools/sfxpack/layout.cpp: walking an installer's payload without copying it.
#include "tools/sfxpack/layout.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

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
    file.SeekToEnd();
    const int64_t length = layout.fileLength = file.GetPosition();
    if (length > LargestInstaller) {
        return SetProblem(layout, LayoutProblem::TooLarge, 0, length);
    }
    if (stubLength < 0 || stubLength > length) {
        return SetProblem(layout, LayoutProblem::StubBeyondEnd, 0, length);
    }
    if (stubLength == length) {
        return SetProblem(layout, LayoutProblem::NoPayload, 0, 0);
    }
    if (length - stubLength < TitleFieldLength) {
        return SetProblem(layout, LayoutProblem::TitleCut, 0, length - stubLength);
    }
    file.Seek(stubLength);
    CString title = ReadTitleField(file);
    layout.title.assign(title.GetString(), static_cast<size_t>(title.GetLength()));

    int64_t position = static_cast<int64_t>(stubLength) + TitleFieldLength;
    for (int entry = 0; entry < PayloadEntryCount; ++entry) {
        // Entry 7 is there only when bytes follow entry 6.
        if (entry >= RequiredEntryCount && position == length) {
            return;
        }
        if (length - position < LengthFieldDigits) {
            return SetProblem(layout, LayoutProblem::FieldCut, entry, length - position);
        }
        unsigned char field[LengthFieldDigits];
        file.Seek(position);
        file.Read(field, LengthFieldDigits);
        if (!IsCanonicalField(field)) {
            memcpy(layout.badField, field, LengthFieldDigits);
            return SetProblem(layout, LayoutProblem::BadField, entry, 0);
        }
        LayoutEntry& current = layout.entries[entry];
        current.declared = DecodeEntryLength(field);
        current.offset = position + LengthFieldDigits;
        int64_t rest = length - current.offset;
        current.available = rest < current.declared ? rest : current.declared;
        layout.entryCount = entry + 1;
        if (current.available < current.declared) {
            return SetProblem(layout, LayoutProblem::EntryCut, entry, current.available);
        }
        position = current.offset + current.declared;
    }
    if (position < length) {
        SetProblem(layout, LayoutProblem::TrailingBytes, PayloadEntryCount - 1, length - position);
    }
}

std::string DescribeProblem(const PayloadLayout& layout) {
    const int entry = layout.problemEntry;
    const long long bytes = layout.problemBytes;
    switch (layout.problem) {
    case LayoutProblem::None:
        return std::string();
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

CommandResult FindStubLength(const std::string& path, long long stubLengthOption, int32_t& stubLength) {
    if (stubLengthOption >= 0) {
        stubLength = static_cast<int32_t>(stubLengthOption);
        return Succeed();
    }
    std::string systemPath;
    FILE* file = ToSystemPath(path, systemPath) ? fopen(systemPath.c_str(), "rb") : nullptr;
    if (file == nullptr) {
        return Fail(ExitIoError, "%s: %s", path.c_str(), GetSystemErrorText().c_str());
    }
    SealScan scan;
    bool scanned = ScanForSeal(file, true, scan);
    fclose(file);
    if (!scanned) {
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

CommandResult OpenInstaller(const std::string& path, long long stubLengthOption, CFileStream& file,
                            PayloadLayout& layout) {
    FileInfo info;
    if (!GetPathInfo(path, info)) {
        return Fail(ExitIoError, "%s: %s", path.c_str(), GetSystemErrorText().c_str());
    }
    if (info.isDirectory) {
        return Fail(ExitBadInput, "%s: is a directory, not an installer", path.c_str());
    }
    int32_t stubLength = 0;
    CommandResult found = FindStubLength(path, stubLengthOption, stubLength);
    if (found.Failed()) {
        return found;
    }
    std::string systemPath;
    if (!ToSystemPath(path, systemPath) || !file.Open(systemPath.c_str(), CFileStream::modeRead)) {
        return Fail(ExitIoError, "%s: cannot open the file", path.c_str());
    }
    ReadPayloadLayout(file, stubLength, layout);
    return Succeed();
}
