// platform/system/text.h: text between UTF-8 and the Windows code pages, and the names
// under which the 8-bit file functions reach files that Windows names in UTF-16.
// Windows converts with its own tables; the POSIX backend with iconv.
#pragma once

#include <stddef.h>

#include "platform/system/cstring.h"

// Converts length bytes of UTF-8 into codePage, never with a best-fit look-alike ('a'
// for 'α' would name another file, or change a title); false when the text is not
// UTF-8, the code page is unknown, or a character has no equivalent there.
bool ConvertFromUtf8(const char* utf8, size_t length, unsigned codePage, CString& text);
// Converts text in codePage into UTF-8; false when it is not valid text there.
bool ConvertToUtf8(const char* text, size_t length, unsigned codePage, CString& utf8);
bool IsKnownCodePage(unsigned codePage);

// The name under which the system's 8-bit (ANSI) functions reach the file or folder at
// utf8Path: the name itself when the system code page can write it, otherwise the short
// (8.3) name of the existing file or folder. A path that names nothing comes back with
// '?' for what the code page lacks, which names no file either, so the 8-bit call fails
// as it would for any missing file. False when the file or folder exists but neither
// name can be written in the code page (short names are off on its volume).
bool GetAnsiPath(const char* utf8Path, CString& ansiPath);

#ifdef _WIN32
// UTF-16 text as UTF-8.
CString Utf8FromWide(const wchar_t* wide);

// A UTF-8 path in the system code page, as the 8-bit file functions take it; false when
// the code page cannot write it. Unlike GetAnsiPath, no short name stands in: for tools
// whose paths may name files yet to be made.
bool GetCodePagePath(const char* utf8Path, CString& ansiPath);
#endif
