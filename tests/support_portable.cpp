// tests/support_portable.cpp: what the portable backend does for tests/support.h.
#include "platform/portable/control.h"
#include "tests/support.h"

CCopyRoad::CCopyRoad(size_t road) { PortableLimitKernelCopy(road % 3 == 0 ? -1 : road % 3 == 1 ? 0 : 1000); }

CCopyRoad::~CCopyRoad() { PortableLimitKernelCopy(-1); }
