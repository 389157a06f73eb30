// fuzz/fuzz_targets.cpp: payload_reader_fuzz lists any bytes, extract_fuzz extracts them every way.
#include <stdio.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "fuzz/properties.h"
#include "tests/support.h"
#include "tools/sfxpack/inspect.h"

namespace {

void Require(const char* violatedProperty) {
    if (violatedProperty != nullptr) {
        fprintf(stderr, "property violated: %s\n", violatedProperty);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchDir scratch;
    const std::string path = scratch / "installer.exe";
    WriteFileBytes(path, std::string(reinterpret_cast<const char*>(data), size));
    CFileStream stream;
    Require(stream.Open(path.c_str(), CFileStream::modeRead) ? nullptr : "the input opens");
    // The first byte's low six bits: stubs longer than the file, and payloads after short stubs.
    PayloadSeal seal;
    Require(FindSeal(path, stream, size > 0 ? data[0] & 0x3F : 0, seal).Failed() ? "the input is read"
                                                                                 : nullptr);
    PayloadLayout layout;
    ReadPayloadLayout(stream, seal, layout);
    Require(CheckLayout(layout));
#ifdef SFX_FUZZ_EXTRACT
    StubExtraction stub;
    Require(CheckReaders(path, layout, scratch.path(), stub));
#else
    // The title as code page 1252 text, and as Shift-JIS, where bytes can be no text.
    for (unsigned codePage : {1252u, 932u}) {
        const bool json = nlohmann::json::accept(FormatListing(layout, path, codePage, true));
        Require(json ? nullptr : "the JSON listing is well-formed");
        const std::string table = FormatListing(layout, path, codePage, false);
        Require(!table.empty() && table.back() == '\n' ? nullptr : "the table ends its last line");
    }
#endif
    return 0;
}
