// platform/system/portable/control.h: the knobs of the portable backend, which stands in
// natively for what only Windows has: the module path, which names the system code page
// can write, what the signature check answers, why a program start fails, whether the
// run is elevated and its folder can be sealed, and the string table that the program's
// resources would hold.
#pragma once

#include <stddef.h>

#include "platform/system/trust.h"
#include "platform/wintypes.h"

// What GetModulePath reports; by default the running executable's /proc link.
void PortableSetModulePath(const char* path);

// What CheckSignatureDigest answers for a file that claims a signature; Intact by
// default.
void PortableSetTrustAnswer(SignatureCheck answer);

// true: the system code page stands for one without any letter beyond ASCII, on a
// volume without short names, so that GetAnsiPath finds no 8-bit name for an existing
// file whose path has other letters. false (the default): every name can be written.
void PortableSetAsciiCodePage(bool ascii);

// StartProgram fails with this Windows error instead of starting the program; 0, the
// default, starts it. For causes that POSIX cannot bring about. The error goes through
// errno, so the values of EEXIST, ENOEXEC and EACCES come back as the errors they mean.
void PortableSetStartError(DWORD error);

// What RunsElevated answers: whether the process runs with administrator rights in
// force. false by default.
void PortableSetElevated(bool elevated);

// true: SealPrivateDirectory fails, as when the system refuses a folder's new DACL.
// false by default.
void PortableSetSealRefused(bool refused);

// One text of the program's string table.
struct PortableString {
    unsigned id;
    const char* text;
};

// The texts CString::LoadString finds from now on: the program's string table, which
// Windows would take from its resources. The table is borrowed; none until set.
void PortableSetStrings(const PortableString* table, size_t count);
