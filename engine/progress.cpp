// engine/progress.cpp: the percentage the stub's progress bar shows.
#include "engine/progress.h"

int ProgressPercent(int32_t position, int32_t fileLength) {
    float total = static_cast<float>(fileLength);
    double quotient = static_cast<double>(position) / static_cast<double>(total);
    return static_cast<int>(quotient * 100.0);
}
