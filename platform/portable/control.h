// platform/portable/control.h: the knobs of the portable backend that Windows sets from
// outside the program: its command line, its module path, where a drive root lies and
// which names the system code page can write; and two for host programs and tests: host
// paths, and copies that avoid the kernel.
#pragma once

#include <stdint.h>

#include "platform/cstring.h"
#include "platform/system.h"

// What GetCommandLineUtf8 reports; empty until set.
void PortableSetCommandLine(const char* commandLine);

// What GetModulePath reports; by default the running executable.
void PortableSetModulePath(const char* path);

// What CheckSignatureDigest answers for a file that claims a signature; Intact by
// default.
void PortableSetTrustAnswer(SignatureCheck answer);

// The host directory that stands for the root of the current drive: "\x" and "C:\x" map
// below it. Empty (the default) means the host's own root.
void PortableSetDriveRoot(const char* hostDirectory);

// true: the system code page stands for one without any letter beyond ASCII, on a
// volume without short names, so that GetAnsiPath finds no 8-bit name for an existing
// file whose path has other letters. false (the default): every name can be written.
void PortableSetAsciiCodePage(bool ascii);

// Paths are the host's own from now on, taken as they are: for a host program such as
// sfxpack, whose file names may hold backslashes. By default they are Windows paths.
void PortableSetHostPaths(bool hostPaths);

// The host path for a Windows-style path: drive prefixes mapped, backslashes made slashes.
// With host paths, the path itself.
CString PortableHostPath(const char* path);

// Caps the bytes each CFileStream::CopyRange moves inside the kernel; the rest goes
// through the stream's buffer, as where the kernel refuses (0) or stops short. Negative,
// the default: no cap. For tests of both roads.
void PortableLimitKernelCopy(int64_t bytes);
