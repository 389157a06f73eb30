// platform/portable/resources.cpp: the program's string resources, where there are no
// resources: the installer's string table, compiled in from the list the resource
// script reads (ui/res/strings.inc).
#include "platform/cstring.h"
#include "ui/resource.h"

namespace {

struct StringResource {
    unsigned id;
    const char* text;
};

#define SFX_STRING(id, text) {id, text},
const StringResource StringTable[] = {
#include "ui/res/strings.inc"
};
#undef SFX_STRING

} // namespace

bool CString::LoadString(unsigned nID) {
    for (const StringResource& string : StringTable) {
        if (string.id == nID) {
            *this = string.text;
            return true;
        }
    }
    *this = CString();
    return false;
}
