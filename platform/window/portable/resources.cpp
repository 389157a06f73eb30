// platform/window/portable/resources.cpp: the program's string resources, where there are no
// resources: the table the program hands over (control.h).
#include "platform/system/cstring.h"
#include "platform/system/portable/control.h"

namespace {

const PortableString* g_strings = nullptr; // borrowed
size_t g_stringCount = 0;

} // namespace

void PortableSetStrings(const PortableString* table, size_t count) {
    g_strings = table;
    g_stringCount = count;
}

bool CString::LoadString(unsigned nID) {
    for (size_t i = 0; i < g_stringCount; ++i) {
        if (g_strings[i].id == nID) {
            *this = g_strings[i].text;
            return true;
        }
    }
    *this = CString();
    return false;
}
