// platform/portable/control.h: the knobs of the portable backend that Windows sets from
// outside the program: its command line, its module path and where a drive root lies.
#pragma once

#include "platform/cstring.h"

// What GetCommandLineA reports; empty until set.
void PortableSetCommandLine(const char* commandLine);

// What GetModulePath reports; by default the running executable.
void PortableSetModulePath(const char* path);

// The host directory that stands for the root of the current drive: "\x" and "C:\x" map
// below it. Empty (the default) means the host's own root.
void PortableSetDriveRoot(const char* hostDirectory);

// The host path for a Windows-style path: drive prefixes mapped, backslashes made slashes.
CString PortableHostPath(const char* path);
