// engine/program_file.h: the running installer's own file: finding and opening it,
// measuring it once, and reading its title.
#pragma once

#include <stdint.h>

#include "engine/bounds.h"
#include "platform/system/cstring.h"
#include "platform/system/file.h"

// The installer's file, held open from the start until the process ends, and where its
// payload ends, found once when it is opened: the title, the signature check, the
// extraction and About all take these.
struct ProgramFile {
    CFileStream stream;
    PayloadBounds bounds;
};

// The installer cannot go on after the last three.
enum class ProgramFileResult {
    Opened,
    NotOpened, // gone, or unreadable
    Unnamed,   // its name has no form the 8-bit file functions take
    InUse,     // another program holds it, and still did after a wait of about two seconds
    Replaced,  // the file under its name is not the one it runs from (IsRunningImage)
};

// Opens the program file for reading and measures it: the module file the loader ran,
// never what the command line names, under its ANSI name (GetAnsiPath), so that a folder
// named in any language is found. Shared for reading only: while the stream is open,
// nobody can write, replace or delete the file, so what was checked is what is read; and
// what is read is the running program's own file, or the result says Replaced.
ProgramFileResult OpenProgramFile(ProgramFile& program);

// The title of an installer file whose stub is stubLength bytes, or "NO INSTALL DATA
// FOUND" when the payload ends where the stub does. Nothing is trimmed.
CString ReadInstallTitle(CFileStream& stream, const PayloadBounds& bounds, int32_t stubLength);
// The title for the main dialog; "UNKNOWN" when the program file is not open.
CString GetInstallTitle(ProgramFile& program);
