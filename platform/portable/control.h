// platform/portable/control.h: the knobs of the portable backend that Windows sets from
// outside the program: its command line, its module path, where a drive root lies and
// which names the system code page can write.
#pragma once

#include "platform/cstring.h"

// What GetCommandLineUtf8 reports; empty until set.
void PortableSetCommandLine(const char* commandLine);

// What GetModulePath reports; by default the running executable.
void PortableSetModulePath(const char* path);

// The host directory that stands for the root of the current drive: "\x" and "C:\x" map
// below it. Empty (the default) means the host's own root.
void PortableSetDriveRoot(const char* hostDirectory);

// true: the system code page stands for one without any letter beyond ASCII, on a
// volume without short names, so that GetAnsiPath finds no 8-bit name for an existing
// file whose path has other letters. false (the default): every name can be written.
void PortableSetAsciiCodePage(bool ascii);

// The host path for a Windows-style path: drive prefixes mapped, backslashes made slashes.
CString PortableHostPath(const char* path);
