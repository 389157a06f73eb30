// engine/extract.h: copying the payload's entries out of an installer file.
#pragma once

#include <stdint.h>

#include "engine/progress.h"
#include "platform/controls.h"
#include "platform/cstring.h"
#include "platform/file.h"

enum class ExtractResult {
    Complete,           // every declared entry was read and written whole
    NoProgramFile,      // the program file could not be opened
    UnnamedProgramFile, // the program file's name has no form the 8-bit file functions take
    NoPayload,          // the file is too short to hold a payload
    Truncated,          // the file ends inside the payload
    BadDigest,          // the file is signed, and changed since: nothing was extracted
    WriteFailed,        // an entry could not be created or written completely
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

// Copies the payload of an open installer file into targetDirectory, each entry under
// targetDirectory + its PayloadEntryTable name. Writes only bytes that were read; no
// output exceeds its declared length. With setupHold, the first entry, the setup
// program, stays open there from its writing on (CFileStream::CloseAndHold), and only
// while it holds exactly the entry's bytes: closed, it was changed by someone else.
ExtractResult ExtractPayloadFrom(CFileStream& program, int32_t stubLength, const CString& targetDirectory,
                                 CExtractProgress& progress, CFileStream* setupHold = nullptr);

// The installer's own extraction: the program file into targetDirectory, progress on
// the dialog's bar, which is hidden at the end in favour of the status text; the setup
// program held in setupHold. A signed program file is first checked against its
// signature's digest.
ExtractResult ExtractPayload(CProgressCtrl& progress, CWnd& status, const CString& targetDirectory,
                             CFileStream& setupHold);
