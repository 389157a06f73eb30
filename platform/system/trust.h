// platform/system/trust.h: asking the system whether a signed file is as it was signed.
#pragma once

#include "platform/system/file.h"
#include "platform/wintypes.h"

enum class SignatureCheck {
    Unsigned,   // the security entry is all zeros: nothing to check
    Intact,     // the system found the file as signed (the publisher is for it to judge)
    Damaged,    // a signature claimed, and the file is not as signed, or not readable as such
    Distrusted, // as signed, but its publisher is explicitly distrusted on this system
};

// Asks the system whether a signed file is as it was signed: no user interface, no
// revocation check, nothing fetched from the network. Answers about the signer's
// certificate chain (an unknown root, an expired certificate) count as Intact: whether
// to trust the publisher is the system's question, not the installer's. A distrusted
// publisher or a revoked certificate counts as Distrusted; every other answer, and a
// system that cannot answer, as Damaged. The stream's position is kept.
SignatureCheck CheckSignatureDigest(CFileStream& file);
#ifdef _WIN32
// What one answer of WinVerifyTrust means, as CheckSignatureDigest judges it.
SignatureCheck JudgeTrustAnswer(DWORD status);
#endif
