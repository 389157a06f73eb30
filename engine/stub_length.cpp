// engine/stub_length.cpp: StubLength, for the tools and tests. A file of its own, which the
// stub does not link: it reads its seal through OwnSeal alone, one relocation fewer.
#include "engine/seal.h"

const volatile int32_t& StubLength = TheStubSeal.length;
