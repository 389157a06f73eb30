// tests/support_portable.cpp: what the POSIX file layer does for tests/support.h.
#include <sched.h>

#include "platform/system/posix/copy_limit.h"
#include "tests/support.h"

namespace {

cpu_set_t g_allowed; // the processors before the one-processor road

} // namespace

CCopyRoad::CCopyRoad(size_t road) {
    road %= CopyRoadCount;
    PosixLimitKernelCopy(road == BufferRoad ? 0 : road == 2 ? 1000 : -1);
    sched_getaffinity(0, sizeof g_allowed, &g_allowed);
    if (road == 3) {
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &g_allowed)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        sched_setaffinity(0, sizeof one, &one);
    }
}

CCopyRoad::~CCopyRoad() {
    PosixLimitKernelCopy(-1);
    sched_setaffinity(0, sizeof g_allowed, &g_allowed);
}
