// engine/seal.h: the seal, a small block in the stub's read-only data that holds the
// stub's own file length. The stub's size is known only after linking, so the build
// finds the block by its marker and stores the finished file's length in it
// ("sfxpack seal"); StubLength reads it from there.
#pragma once

#include <stdint.h>

constexpr int StubSealMarkerLength = 12;

struct StubSeal {
    char marker[StubSealMarkerLength];
    int32_t length; // little-endian, as on every Windows target
};

// The marker occurs once in a stub; a build that finds it twice refuses to seal. (inline:
// no translation unit keeps a copy of its own that could be mistaken for the seal.)
inline constexpr char StubSealMarker[StubSealMarkerLength] = {'#', 'S', 'F', 'X', '-',    'S',
                                                              'E', 'A', 'L', '#', '\x7f', '\x01'};

// What an unsealed stub claims: the length of the classic stub, so that its installers
// are read right even by tools that do not know the seal.
constexpr int32_t UnsealedStubLength = 35328;
