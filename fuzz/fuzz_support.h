// fuzz/fuzz_support.h: what both fuzz targets share: the input written as an installer
// into a scratch directory of the process and read as list and verify read it, and
// stopping the run when a property does not hold.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "fuzz/properties.h"

inline void Require(const char* violatedProperty) {
    if (violatedProperty != nullptr) {
        fprintf(stderr, "property violated: %s\n", violatedProperty);
        abort();
    }
}

// A directory of the process, on a memory file system where there is one.
inline const std::string& FuzzScratchDirectory() {
    static std::string directory =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/sfx-fuzz-XXXXXX" : "/tmp/sfx-fuzz-XXXXXX";
    static const char* made = mkdtemp(&directory[0]);
    Require(made == nullptr ? "a scratch directory is made" : nullptr);
    return directory;
}

// Writes the input into the scratch directory and reads its layout. The first byte's low
// six bits are the stub length: the fuzzer then meets stubs longer than the file, and
// payloads right after short stubs; a seal in the stub gives the digest.
inline std::string ReadFuzzInput(const uint8_t* data, size_t size, PayloadLayout& layout) {
    const std::string path = FuzzScratchDirectory() + "/installer.exe";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<long>(size));
    CFileStream stream;
    Require(stream.Open(path.c_str(), CFileStream::modeRead) ? nullptr : "the input opens");
    PayloadSeal seal;
    Require(FindSeal(path, stream, size > 0 ? data[0] & 0x3F : 0, seal).Failed() ? "the input is read"
                                                                                 : nullptr);
    ReadPayloadLayout(stream, seal, layout);
    Require(CheckLayout(layout));
    return path;
}
