// platform/system/unique_name.h: a new file or folder under a name of its own, for the stub's
// run folder and sfxpack's files beside their targets.
#pragma once

#include <stdint.h>

#include "platform/system/cstring.h"

// Makes stem + "0", stem + "1", ... with create(name) until one is made, at most
// attempts names. A name that is taken (taken(), asked right after the failure) is
// skipped, never reused, so that nothing made by someone else, nor planted, is taken
// over; any other failure ends the search. A stem with the process id in it is unique
// while the process runs, so only names left by an earlier process with the same id, or
// made by someone else, are taken.
template <class Create, class Taken>
bool CreateUniquelyNamed(const CString& stem, uint32_t attempts, CString& made, Create create, Taken taken) {
    for (uint32_t attempt = 0; attempt < attempts; ++attempt) {
        made = stem + DecimalText(attempt);
        if (create(made)) {
            return true;
        }
        if (!taken()) {
            return false;
        }
    }
    return false;
}
