// engine/seal.cpp: the one definition of StubLength, inside the seal block.
#include "engine/seal.h"
#include "engine/layout.h"

// volatile: the value changes after compilation, so it must be read from memory.
extern const volatile StubSeal TheStubSeal;
const volatile StubSeal TheStubSeal = {
    {StubSealMarker[0], StubSealMarker[1], StubSealMarker[2], StubSealMarker[3], StubSealMarker[4],
     StubSealMarker[5], StubSealMarker[6], StubSealMarker[7], StubSealMarker[8], StubSealMarker[9],
     StubSealMarker[10], StubSealMarker[11]},
    UnsealedStubLength,
};

const volatile int32_t& StubLength = TheStubSeal.length;
