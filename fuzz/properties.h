// fuzz/properties.h: what must hold for any bytes read as an installer, checked by the fuzz
// targets and by tests/packer/readers_test.cpp on every cut. Each check returns the first
// property that does not hold (its text says it), or nullptr.
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

// The stub, sfxpack extract and extract --force, each into a directory of its own in scratch,
// against the layout list and verify read.
const char* CheckReaders(const std::string& path, const PayloadLayout& layout, const std::string& scratch,
                         StubExtraction& stub);
