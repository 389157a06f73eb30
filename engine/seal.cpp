// engine/seal.cpp: the one definition of the seal block, which holds the stub's length and
// the payload's digest.
#include "engine/seal.h"

// Read-only data: the build writes the length into the file after linking, nothing writes
// it at run time. Not volatile itself (that would move it to the writable data, which would
// then cost a section of its own); it is read only through volatile references (OwnSeal
// below, StubLength in stub_length.cpp), so the compiler never folds in the unsealed value.
const StubSeal TheStubSeal = {
    {StubSealMarker[0], StubSealMarker[1], StubSealMarker[2], StubSealMarker[3], StubSealMarker[4],
     StubSealMarker[5], StubSealMarker[6], StubSealMarker[7], StubSealMarker[8], StubSealMarker[9],
     StubSealMarker[10], StubSealMarker[11]},
    UnsealedStubLength,
    SealHasNoDigest,
    0,
};

const volatile StubSeal& OwnSeal = TheStubSeal;
