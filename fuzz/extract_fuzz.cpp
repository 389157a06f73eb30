// fuzz/extract_fuzz.cpp: any bytes as an installer, extracted as the stub does and as
// "sfxpack extract" does with and without --force, which must agree (fuzz/properties.h).
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PayloadLayout layout;
    const std::string path = ReadFuzzInput(data, size, layout);
    StubExtraction stub;
    Require(CheckReaders(path, layout, FuzzScratchDirectory(), stub));
    return 0;
}
