// engine/extract.cpp: copying the payload entries out of the installer file.
#include "engine/extract.h"

#include <stdint.h>
#include <string.h>

#include "engine/crc32.h"
#include "engine/program_file.h"
#include "engine/seal.h"
#include "platform/system/trust.h"

namespace {

// Copies the data of one entry, as far as the payload holds it, from the program file to
// its output, block by block, with one progress position per block. False when a read
// delivers less than the layout promised: a network share that drops, a drive pulled.
bool CopyEntryData(CPayloadReader& reader, const PayloadEntry& entry, CFileStream& program, int32_t total,
                   CFileStream& output, CExtractProgress& progress) {
    unsigned char buffer[CopyBlockSize];
    for (int64_t remaining = entry.available; remaining > 0;) {
        size_t block = remaining > CopyBlockSize ? CopyBlockSize : static_cast<size_t>(remaining);
        remaining -= static_cast<int64_t>(block);
        size_t got = reader.ReadData(buffer, block);
        // An output that could not be created still has its bytes read, so that the
        // progress goes on as for the others.
        if (output.IsOpen()) {
            output.Write(buffer, got);
        }
        progress.OnPosition(ProgressPercent(static_cast<int32_t>(program.GetPosition()), total));
        if (got < block) {
            return false;
        }
    }
    return true;
}

// Closes an entry's output; the setup program's into its hold.
bool CloseOutput(CFileStream& output, CFileStream* hold) {
    return hold != nullptr ? output.CloseAndHold(*hold) : output.Close();
}

// Whether the held file holds exactly the entry's data. Nobody can write it while it is
// held, but someone may have in the moment before (CFileStream::CloseAndHold); this
// comparison finds that.
bool HoldsEntry(CFileStream& held, CFileStream& program, const PayloadEntry& entry) {
    bool same = held.SeekToEnd() && held.GetPosition() == entry.available && held.Seek(0) &&
                program.Seek(entry.offset);
    unsigned char written[CopyBlockSize];
    unsigned char found[CopyBlockSize];
    for (int64_t remaining = entry.available; same && remaining > 0;) {
        size_t block = remaining > CopyBlockSize ? CopyBlockSize : static_cast<size_t>(remaining);
        remaining -= static_cast<int64_t>(block);
        same = program.Read(written, block) == block && held.Read(found, block) == block &&
               memcmp(written, found, block) == 0;
    }
    return same;
}

} // namespace

void CWindowProgress::OnBegin() { m_progress.SetRange(0, 100); }

void CWindowProgress::OnPosition(int percent) { m_progress.SetPos(percent); }

void CWindowProgress::OnEnd() {
    m_progress.ShowWindow(SW_HIDE);
    m_status.ShowWindow(SW_SHOWNORMAL);
}

ExtractResult ExtractPayloadFrom(ProgramFile& program, const PayloadSeal& seal,
                                 const CString& targetDirectory, CExtractProgress& progress,
                                 CFileStream* setupHold) {
    // The digest is computed only where the seal records one to compare it with.
    CPayloadReader reader(program.stream, program.bounds, seal.stubLength,
                          seal.hasDigest ? UpdateCrc32 : nullptr);
    if (!reader.HasPayload()) {
        return ExtractResult::NoPayload;
    }
    // The progress counts the whole file up to the payload's end, stub included.
    const int32_t total = static_cast<int32_t>(program.bounds.end);
    progress.OnBegin();

    char title[TitleFieldLength];
    reader.ReadTitle(title);
    ExtractResult result = ExtractResult::Complete;
    PayloadEntry entry;
    while (reader.Next(entry)) {
        CFileStream output;
        // Created new: a name already taken in a folder of the run's own was put there by
        // someone else, and is not written through.
        bool written =
            output.Open(targetDirectory + PayloadEntryTable[entry.index], CFileStream::modeCreateNew);
        if (!CopyEntryData(reader, entry, program.stream, total, output, progress)) {
            result = ExtractResult::Truncated;
        }
        CFileStream* hold = entry.index == 0 ? setupHold : nullptr;
        written = written && CloseOutput(output, hold);
        if (!written && result == ExtractResult::Complete) {
            result = ExtractResult::WriteFailed;
        }
        if (hold != nullptr && hold->IsOpen() && !HoldsEntry(*hold, program.stream, entry)) {
            hold->Close();
        }
    }
    if (reader.GetEnd() != WalkEnd::Complete) {
        result = ExtractResult::Truncated;
    }
    if (result == ExtractResult::Complete && seal.hasDigest && reader.GetDigest() != seal.digest) {
        result = ExtractResult::BadDigest;
    }
    progress.OnPosition(100);
    progress.OnEnd();
    return result;
}

ExtractResult ExtractPayload(ProgramFile& program, CProgressCtrl& progress, CWnd& status,
                             const CString& targetDirectory, CFileStream& setupHold) {
    CWindowProgress windows(progress, status);
    const PayloadSeal seal = {OwnSeal.length, OwnSeal.digestState == SealHasCrc32, OwnSeal.digest};
    return ExtractPayloadFrom(program, seal, targetDirectory, windows, &setupHold);
}

SignatureCheck CheckSignature(ProgramFile& program) {
    switch (program.bounds.signature) {
    case Signature::None:
        return SignatureCheck::Unsigned;
    case Signature::Misplaced:
        return SignatureCheck::Damaged;
    case Signature::AtEnd:
        break;
    }
    return CheckSignatureDigest(program.stream);
}
