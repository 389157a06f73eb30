// platform/win32/system.cpp: the program's own module path from the loader.
#include "platform/system.h"

#include <stdlib.h>

CString GetModulePath() {
    // GetModuleFileNameA fills the buffer completely when the path is cut short, so grow
    // it until the path fits.
    for (DWORD size = MAX_PATH;; size *= 2) {
        char* buffer = static_cast<char*>(malloc(size));
        if (buffer == nullptr) {
            return CString();
        }
        DWORD length = GetModuleFileNameA(nullptr, buffer, size);
        if (length < size) {
            CString path(buffer, static_cast<int>(length));
            free(buffer);
            return path;
        }
        free(buffer);
        if (size >= 32768) {
            return CString();
        }
    }
}
