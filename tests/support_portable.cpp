// tests/support_portable.cpp: what the POSIX file layer does for tests/support.h.
#include "platform/system/posix/copy_limit.h"
#include "tests/support.h"

CCopyRoad::CCopyRoad(size_t road) { PosixLimitKernelCopy(road % 3 == 0 ? -1 : road % 3 == 1 ? 0 : 1000); }

CCopyRoad::~CCopyRoad() { PosixLimitKernelCopy(-1); }
