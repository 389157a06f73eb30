// engine/seal.h: the seal, a small block in the stub's read-only data that holds the
// stub's own file length and, in an installer, the digest of its payload. The stub's
// size is known only after linking, so the build finds the block by its marker and
// stores the finished file's length in it ("sfxpack seal"); StubLength reads it from
// there. "sfxpack build" stores the payload's CRC-32 in the installer's copy.
#pragma once

#include <stdint.h>

constexpr int StubSealMarkerLength = 12;

struct StubSeal {
    char marker[StubSealMarkerLength];
    int32_t length;       // little-endian, as on every Windows target, as are the two below
    uint32_t digestState; // SealHasNoDigest or SealHasCrc32 in a stub that can carry one
    uint32_t digest;      // the payload's CRC-32, with SealHasCrc32
};

// The marker occurs once in a stub; a build that finds it twice refuses to seal. (inline:
// no translation unit keeps a copy of its own that could be mistaken for the seal.)
inline constexpr char StubSealMarker[StubSealMarkerLength] = {'#', 'S', 'F', 'X', '-',    'S',
                                                              'E', 'A', 'L', '#', '\x7f', '\x01'};

// The word after the length: "CRC" and a flag. Older stubs end their seal at the length,
// so that what follows there is other data, which matches neither.
constexpr uint32_t SealHasNoDigest = 0x00435243;
constexpr uint32_t SealHasCrc32 = 0x01435243;
// Of the block: where the digest's state word lies, and the length of the older blocks.
constexpr int SealDigestOffset = StubSealMarkerLength + 4;

// Length of the stub program file, and so the offset of the payload: the linked file's
// real length, which the build stores in the seal. For the tools and tests.
extern const volatile int32_t& StubLength;

// This program's own seal, read through a reference as StubLength is.
// The stub reads it only this way: each reference to it costs the stub a relocation.
extern const StubSeal TheStubSeal;
extern const volatile StubSeal& OwnSeal;

// What an unsealed stub claims: 35,328 bytes, the stub length this layout has always
// named, so that its installers are read right even by tools that do not know the seal.
constexpr int32_t UnsealedStubLength = 35328;
