// platform/system/portable/trust.cpp: only Windows checks Authenticode signatures; a test
// says what it would answer.
#include "platform/system/trust.h"

#include "platform/system/portable/control.h"

namespace {

SignatureCheck g_trustAnswer = SignatureCheck::Intact;

} // namespace

SignatureCheck CheckSignatureDigest(CFileStream&) { return g_trustAnswer; }

void PortableSetTrustAnswer(SignatureCheck answer) { g_trustAnswer = answer; }
