// engine/extract.h: copying the payload's entries out of an installer file.
#pragma once

#include <stdint.h>

#include "engine/payload.h"
#include "engine/program_file.h"
#include "engine/progress.h"
#include "platform/system/cstring.h"
#include "platform/system/file.h"
#include "platform/system/trust.h"
#include "platform/window/controls.h"

// The stub copies 1 KiB at a time, with one progress message per block.
constexpr int CopyBlockSize = 1024;

enum class ExtractResult {
    Complete,    // every declared entry was read and written whole
    NoPayload,   // the file is too short to hold a payload
    Truncated,   // the file ends inside the payload, or a read of it fell short
    WriteFailed, // an entry could not be created new (its name taken) or written completely
    BadDigest,   // all was read, but the payload's CRC-32 is not the one its seal records
};

// Drives the installer dialog's progress bar, and swaps it for the status text at the end.
class CWindowProgress : public CExtractProgress {
  public:
    CWindowProgress(CProgressCtrl& progress, CWnd& status) : m_progress(progress), m_status(status) {}
    void OnBegin() override;
    void OnPosition(int percent) override;
    void OnEnd() override;

  private:
    CProgressCtrl& m_progress; // borrowed
    CWnd& m_status;            // borrowed
};

// Copies the payload of an open installer file, which starts at seal.stubLength, into
// targetDirectory, each entry created new under targetDirectory + its PayloadEntryTable
// name. Writes only bytes that were read; no output exceeds its declared length; a read
// that falls short ends the copy. The CRC-32 of what it reads is compared with the
// seal's digest, when it has one, at the end. With setupHold, the first entry, the
// setup program, stays open there from its writing on (CFileStream::CloseAndHold), and
// only while it holds exactly the entry's bytes: closed, it was changed by someone else.
ExtractResult ExtractPayloadFrom(ProgramFile& program, const PayloadSeal& seal,
                                 const CString& targetDirectory, CExtractProgress& progress,
                                 CFileStream* setupHold = nullptr);

// The installer's own extraction: the program file into targetDirectory, progress on
// the dialog's bar, which is hidden at the end in favour of the status text; the setup
// program held in setupHold; the payload's CRC-32 checked when the seal carries one,
// signed or not: it costs nothing beside the copy.
ExtractResult ExtractPayload(ProgramFile& program, CProgressCtrl& progress, CWnd& status,
                             const CString& targetDirectory, CFileStream& setupHold);

// Judges a signed program file before anything is written: first its structure (a
// well-formed table that ends the file), then the system, on the same open handle.
SignatureCheck CheckSignature(ProgramFile& program);
