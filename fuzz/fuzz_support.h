// fuzz/fuzz_support.h: what both fuzz targets need: a scratch directory of their own,
// whole files, and how a fuzz input chooses the stub length.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// A directory made once per process, on a memory file system where there is one.
const std::string& FuzzScratchDirectory();

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);
std::string ReadWholeFile(const std::string& path);
// Names in a directory, without "." and ".."; empty when it does not exist.
std::vector<std::string> ListNames(const std::string& directory);

// The first input byte's low six bits are the stub length: the fuzzer then meets stubs
// longer than the file, and payloads right after short stubs.
int32_t FuzzStubLength(const uint8_t* data, size_t size);

// Stops the run with a message when a property does not hold.
void Require(bool holds, const char* property);
