// engine/program_file.h: the running installer's own file: finding and opening it, and
// reading its title.
#pragma once

#include <stdint.h>

#include "platform/cstring.h"
#include "platform/file.h"

// The installer cannot go on after the last two.
enum class ProgramFileResult {
    Opened,
    NotOpened, // gone, or unreadable
    Unnamed,   // its name has no form the 8-bit file functions take
    InUse,     // another program holds it, and still did after a wait of about two seconds
};

// Opens the program file for reading: the module file the loader ran, never what the
// command line names, under its ANSI name (GetAnsiPath), so that a folder named in any
// language is found. Shared for reading only: while the stream is open, nobody can
// write, replace or delete the file, so what was checked is what is read.
ProgramFileResult OpenProgramFile(CFileStream& stream);

// Length of an open file; the stream's position is kept.
int32_t GetStreamLength(CFileStream& stream);

// Reads the 40 title bytes at the current position; bytes beyond the end of the file
// count as blanks. Nothing is trimmed.
CString ReadTitleField(CFileStream& stream);

// The title of an open installer file, or "NO INSTALL DATA FOUND" when the file is
// exactly as long as its stub.
CString ReadInstallTitle(CFileStream& stream, int32_t stubLength);
// The title for the main dialog; "UNKNOWN" when the program file is not open.
CString GetInstallTitle(CFileStream& program);
