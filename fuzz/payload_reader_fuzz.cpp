// fuzz/payload_reader_fuzz.cpp: any bytes as an installer, read as list and verify do:
// the layout has the properties of fuzz/properties.h, and the listing is well-formed JSON,
// or a table that ends its last line.
#include <nlohmann/json.hpp>

#include "fuzz/fuzz_support.h"
#include "tools/sfxpack/inspect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PayloadLayout layout;
    const std::string path = ReadFuzzInput(data, size, layout);
    // The title as code page 1252 text, and as Shift-JIS, where bytes can be no text.
    for (unsigned codePage : {1252u, 932u}) {
        const bool json = nlohmann::json::accept(FormatListing(layout, path, codePage, true));
        Require(json ? nullptr : "the JSON listing is well-formed");
        const std::string table = FormatListing(layout, path, codePage, false);
        Require(!table.empty() && table.back() == '\n' ? nullptr : "the table ends its last line");
    }
    return 0;
}
