// platform/window/win32/resources.cpp: loading the program's string resources.
#include "platform/system/cstring.h"
#include "platform/window/app.h"

bool CString::LoadString(unsigned nID) {
    // The longest message, with room to spare.
    char buffer[1024];
    int length = ::LoadStringA(AfxGetInstanceHandle(), nID, buffer, sizeof buffer);
    *this = CString(buffer, length);
    return length > 0;
}
