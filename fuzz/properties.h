// fuzz/properties.h: each check returns the first property that does not hold, or nullptr.
#pragma once

#include <map>
#include <string>

#include "engine/extract.h"
#include "tools/sfxpack/layout.h"

const char* CheckLayout(const PayloadLayout& layout);

struct StubExtraction {
    ExtractResult result = ExtractResult::NoPayload;
    std::map<std::string, std::string> files; // name and bytes of each file written
};

// The stub, sfxpack extract and extract --force, each into its own directory in scratch.
const char* CheckReaders(const std::string& path, const PayloadLayout& layout, const std::string& scratch,
                         StubExtraction& stub);
