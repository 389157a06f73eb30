// platform/system/win32/trust.cpp: asking Windows whether a signed file is as it was
// signed. wintrust.dll is loaded from the system directory for the call, so the program
// carries no import of it.
#include <stdlib.h>

#include "platform/system/library.h"
#include "platform/system/process.h"
#include "platform/system/trust.h"

// softpub.h builds on wintrust.h, which builds on windows.h.
#include <softpub.h>
#include <wintrust.h>

namespace {

using WinVerifyTrustFunction = LONG(WINAPI*)(HWND window, GUID* action, void* data);

} // namespace

SignatureCheck CheckSignatureDigest(CFileStream& file) {
    // Wine's wintrust loads imagehlp late, by its bare name, and Wine then looks beside the
    // program first, whatever the DLL search was restricted to. Loaded from the system
    // directory now, it is the one found then; it stays until the process ends.
    LoadSystemLibrary("imagehlp.dll");
    HMODULE wintrust = LoadSystemLibrary("wintrust.dll");
    auto winVerifyTrust = wintrust != nullptr
                              ? reinterpret_cast<WinVerifyTrustFunction>(
                                    reinterpret_cast<void*>(GetProcAddress(wintrust, "WinVerifyTrust")))
                              : nullptr;
    // WinVerifyTrust reads the file through its handle, and wants a path beside it: the
    // program's own, the file the handle has open. An empty one leaves the handle alone
    // to name the file.
    wchar_t* path = GetModulePathW();
    DWORD status = static_cast<DWORD>(TRUST_E_NOSIGNATURE);
    if (winVerifyTrust != nullptr && path != nullptr) {
        const int64_t position = file.GetPosition();
        WINTRUST_FILE_INFO fileInfo = {};
        fileInfo.cbStruct = sizeof fileInfo;
        fileInfo.pcwszFilePath = path;
        fileInfo.hFile = reinterpret_cast<HANDLE>(file.GetOsHandle());
        WINTRUST_DATA data = {};
        data.cbStruct = sizeof data;
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &fileInfo;
        data.dwStateAction = WTD_STATEACTION_VERIFY;
        data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        // INVALID_HANDLE_VALUE as window: there is no interactive user to ask.
        HWND noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
        status = static_cast<DWORD>(winVerifyTrust(noUser, &action, &data));
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        winVerifyTrust(noUser, &action, &data);
        // The check read through the handle: put the stream back where it was.
        file.Seek(position);
    }
    free(path);
    FreeLibrary(wintrust); // nothing, when it did not load
    return JudgeTrustAnswer(status);
}

SignatureCheck JudgeTrustAnswer(DWORD status) {
    // The CERT_E_ answers follow TRUST_E_NOSIGNATURE, one apart: each says the signature
    // was read and the digest held, and names a doubt about the signer's chain, whose
    // trust is the system's question. TRUST_E_FAIL among them names no cause, so it
    // counts as damage; a revoked certificate (which takes a revocation check the stub
    // does not ask for) is refused like a distrusted publisher.
    if (status == static_cast<DWORD>(TRUST_E_EXPLICIT_DISTRUST) ||
        status == static_cast<DWORD>(CERT_E_REVOKED)) {
        return SignatureCheck::Distrusted;
    }
    return status == ERROR_SUCCESS || (status > static_cast<DWORD>(TRUST_E_NOSIGNATURE) &&
                                       status <= static_cast<DWORD>(CERT_E_INVALID_NAME) &&
                                       status != static_cast<DWORD>(TRUST_E_FAIL))
               ? SignatureCheck::Intact
               : SignatureCheck::Damaged;
}
