// fuzz/fuzz_support.h: the input written as an installer and read as list and verify read it.
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

// The first byte's low six bits are the stub length: the fuzzer meets stubs longer than the
// file, and payloads right after short stubs.
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
