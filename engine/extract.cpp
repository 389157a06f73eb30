// engine/extract.cpp: copying the payload entries out of the installer file.
#include "engine/payload.h"

#include <stdint.h>
#include <string.h>

namespace {

// Copies one entry's data from the program file to its output, block by block. Returns
// false when the program file ended before the entry did; what was read is written.
bool CopyEntry(CFileStream& program, int32_t length, int32_t fileLength, CFileStream& output,
               CExtractProgress& progress) {
    unsigned char buffer[CopyBlockSize];
    int32_t remaining = length;
    while (remaining > 0) {
        int32_t block = remaining > CopyBlockSize ? CopyBlockSize : remaining;
        remaining -= block;
        size_t got = program.Read(buffer, static_cast<size_t>(block));
        // An output that could not be created still has its bytes read, so that the
        // entries after it stay in step.
        if (output.IsOpen()) {
            output.Write(buffer, got);
        }
        progress.OnPosition(ProgressPercent(static_cast<int32_t>(program.GetPosition()), fileLength));
        if (got < static_cast<size_t>(block)) {
            return false;
        }
    }
    return true;
}

// Closes an entry's output; the setup program's into its hold.
bool CloseOutput(CFileStream& output, CFileStream* hold) {
    return hold != nullptr ? output.CloseAndHold(*hold) : output.Close();
}

// Whether the held file holds exactly the entry whose data ends at the program file's
// current position. Nobody can write it while it is held, but someone may have in the
// moment before (CFileStream::CloseAndHold); this comparison finds that.
bool HoldsEntry(CFileStream& held, CFileStream& program, int32_t length) {
    const int64_t entryEnd = program.GetPosition();
    const int32_t expected = length > 0 ? length : 0;
    bool same = held.SeekToEnd() && held.GetPosition() == expected && held.Seek(0) &&
                program.Seek(entryEnd - expected);
    unsigned char written[CopyBlockSize];
    unsigned char found[CopyBlockSize];
    for (int32_t remaining = expected; same && remaining > 0;) {
        size_t block = remaining > CopyBlockSize ? CopyBlockSize : static_cast<size_t>(remaining);
        remaining -= static_cast<int32_t>(block);
        same = program.Read(written, block) == block && held.Read(found, block) == block &&
               memcmp(written, found, block) == 0;
    }
    program.Seek(entryEnd);
    return same;
}

} // namespace

void CWindowProgress::OnBegin() { m_progress.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 100)); }

void CWindowProgress::OnPosition(int percent) { m_progress.SendMessage(PBM_SETPOS, percent, 0); }

void CWindowProgress::OnEnd() {
    m_progress.ShowWindow(SW_HIDE);
    m_status.ShowWindow(SW_SHOWNORMAL);
}

int ProgressPercent(int32_t position, int32_t fileLength) {
    float total = static_cast<float>(fileLength);
    double quotient = static_cast<double>(position) / static_cast<double>(total);
    return static_cast<int>(quotient * 100.0);
}

ExtractResult ExtractPayloadFrom(CFileStream& program, int32_t stubLength, const CString& targetDirectory,
                                 CExtractProgress& progress, CFileStream* setupHold) {
    program.SeekToEnd();
    const int64_t realLength = program.GetPosition();
    const int64_t payloadStart = static_cast<int64_t>(stubLength) + TitleFieldLength;
    // Lengths and positions are signed 32-bit values in the layout; a longer file holds
    // no payload that could be read.
    if (stubLength < 0 || realLength > INT32_MAX || realLength < payloadStart + 1) {
        return ExtractResult::NoPayload;
    }
    const int32_t fileLength = static_cast<int32_t>(realLength);
    program.Seek(payloadStart);
    progress.OnBegin();

    ExtractResult result = ExtractResult::Complete;
    auto fail = [&result](ExtractResult failure) {
        if (result == ExtractResult::Complete) {
            result = failure;
        }
    };
    for (int entry = 0; entry < PayloadEntryCount; ++entry) {
        int64_t position = program.GetPosition();
        if (entry >= RequiredEntryCount && position >= fileLength) {
            break;
        }
        // No length field left: the rest of the payload is missing, and nothing is
        // created for entries that are not there.
        if (fileLength - position < LengthFieldDigits) {
            fail(ExtractResult::Truncated);
            break;
        }
        CFileStream output;
        if (!output.Open(targetDirectory + PayloadEntryTable[entry], CFileStream::modeWrite)) {
            fail(ExtractResult::WriteFailed);
        }
        int32_t length = ReadEntryLength(program);
        bool whole = CopyEntry(program, length, fileLength, output, progress);
        CFileStream* hold = entry == 0 ? setupHold : nullptr;
        if (output.IsOpen() && !CloseOutput(output, hold)) {
            fail(ExtractResult::WriteFailed);
        }
        if (!whole) {
            fail(ExtractResult::Truncated);
            break;
        }
        if (hold != nullptr && hold->IsOpen() && !HoldsEntry(*hold, program, length)) {
            hold->Close();
        }
    }
    progress.OnPosition(100);
    progress.OnEnd();
    return result;
}

ExtractResult ExtractPayload(CWnd& progress, CWnd& status, const CString& targetDirectory,
                             CFileStream& setupHold) {
    CFileStream program;
    switch (OpenProgramFile(program)) {
    case ProgramFileResult::Opened:
        break;
    case ProgramFileResult::NotOpened:
        return ExtractResult::NoProgramFile;
    case ProgramFileResult::Unnamed:
        return ExtractResult::UnnamedProgramFile;
    }
    CWindowProgress windows(progress, status);
    return ExtractPayloadFrom(program, StubLength, targetDirectory, windows, &setupHold);
}
