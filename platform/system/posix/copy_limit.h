// platform/system/posix/copy_limit.h: a knob of the POSIX file layer for tests of both roads a
// copy takes (CFileStream::CopyRange).
#pragma once

#include <stdint.h>

// Caps the bytes each CFileStream::CopyRange moves inside the kernel; the rest goes
// through the stream's buffer, as where the kernel refuses (0) or stops short. Negative,
// the default: no cap.
void PosixLimitKernelCopy(int64_t bytes);
