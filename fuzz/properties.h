// fuzz/properties.h: what must hold for any bytes read as an installer: checked by the
// fuzz targets on arbitrary input, and by tests/packer/readers_test.cpp on every cut of
// an installer. Each check returns the first property that does not hold, or nullptr.
#pragma once

#include <map>
#include <string>

#include "engine/extract.h"
#include "tools/sfxpack/layout.h"

// The layout list and verify read: entries one after the other inside the payload, none
// holding more than it declares; a complete payload accounts for every byte up to its
// end; a problem is named, in one line, exactly when there is one.
const char* CheckLayout(const PayloadLayout& layout);

struct StubExtraction {
    ExtractResult result = ExtractResult::NoPayload;
    std::map<std::string, std::string> files; // name and bytes of each file written
};

// Reads the installer at path, whose layout is given, as the stub does, and extracts it
// as the stub does (into stub) and as sfxpack extract does with and without --force,
// each into a directory of its own in scratch, removed again. The stub shows the title
// list shows, blanks where the payload ends; it extracts whatever verify accepts, its
// progress going from beginning to 100 and end; extract refuses a damaged installer
// whole, and forced, or on a complete one, writes what the stub writes: the entries
// verify lists, each the installer's bytes from the offset list prints, never more than
// declared. Nothing else is written in scratch.
const char* CheckReaders(const std::string& path, const PayloadLayout& layout, const std::string& scratch,
                         StubExtraction& stub);
