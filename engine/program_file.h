// engine/program_file.h: the running installer's own file: finding and opening it, and
// reading its title.
#pragma once

#include <stdint.h>

#include "platform/cstring.h"
#include "platform/file.h"

// The program's path as the first token of a command line: inside leading double quotes,
// or up to the first blank.
CString ParseProgramPath(const char* commandLine);

enum class ProgramFileResult {
    Opened,
    NotOpened, // neither path opens
    Unnamed,   // neither opens, and one of them has no name the 8-bit file functions take
};

// Opens the program file for reading: the path of the command line, or, when that cannot
// be opened (started without ".exe", or with an argument zero that is not its file), the
// module file the loader ran; each under its ANSI name (GetAnsiPath), so that a folder
// named in any language is found.
ProgramFileResult OpenProgramFile(CFileStream& stream);

// Length of an open file; the stream's position is kept.
int32_t GetStreamLength(CFileStream& stream);

// Reads the 40 title bytes at the current position; bytes beyond the end of the file
// count as blanks. Nothing is trimmed.
CString ReadTitleField(CFileStream& stream);

// The title of an open installer file, or "NO INSTALL DATA FOUND" when the file is
// exactly as long as its stub.
CString ReadInstallTitle(CFileStream& stream, int32_t stubLength);
// The title for the main dialog; "UNKNOWN" when the program file cannot be opened.
CString GetInstallTitle();
