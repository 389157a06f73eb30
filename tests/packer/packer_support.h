// tests/packer/packer_support.h: what the sfxpack tests add to tests/support.h: sealed
// stand-in stubs, the roads of a copy, and (natively) sparse files and runs in a child
// process whose file size is limited, to make writes fail halfway.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support.h"
#include "tools/sfxpack/cli.h"

// A stand-in stub of size bytes: pattern bytes (after a PE header when asked) around one
// seal block, sealed. Returns its bytes.
std::string WriteSealedStub(const std::string& path, size_t size, bool peHeader = false);

// The entries of an installer written with every file given: the first six, and a seventh
// when given; names as extracted.
extern const char* const EntryNames[7];

// The roads a copy (CFileStream::CopyRange) can take, as caps on the bytes it moves
// inside the kernel: no cap; none, as where the kernel refuses, so that the stream's
// buffer carries all; and a kernel copy stopped short that the buffer finishes. Windows
// knows only the buffer's road.
constexpr int64_t KernelCopyCaps[3] = {-1, 0, 1000};

// Caps the bytes each copy moves inside the kernel for as long as it lives.
class CKernelCopyCap {
  public:
    explicit CKernelCopyCap(int64_t bytes);
    ~CKernelCopyCap();
    CKernelCopyCap(const CKernelCopyCap&) = delete;
    CKernelCopyCap& operator=(const CKernelCopyCap&) = delete;
};

#ifndef _WIN32
// A file of size bytes that takes no disk space.
void MakeSparseFile(const std::string& path, int64_t size);

// Runs body in a child process whose files may not grow beyond fileSizeLimit bytes (writes
// past it fail), and returns the child's exit status.
int RunWithFileSizeLimit(int64_t fileSizeLimit, const std::function<int()>& body);

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the sfxpack program with args, capturing both output streams.
ProgramRun RunSfxpack(const std::vector<std::string>& args);
#endif
