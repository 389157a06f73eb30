// engine/progress.h: how an extraction reports its progress, to the installer's progress
// bar or to a tool's.
#pragma once

#include <stdint.h>

// Where the extraction reports its progress: the installer's progress bar, or a tool's.
class CExtractProgress {
  public:
    virtual ~CExtractProgress() = default;
    // The copying begins; positions from now on are percentages 0 to 100.
    virtual void OnBegin() = 0;
    // After every copied block, and once more with 100 at the end.
    virtual void OnPosition(int percent) = 0;
    // The copying is over.
    virtual void OnEnd() = 0;
};

// The percentage shown after a block: the read position against the file length, which
// is first rounded to single precision, the quotient taken in double precision.
int ProgressPercent(int32_t position, int32_t fileLength);
