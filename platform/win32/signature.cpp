// platform/win32/signature.cpp: asking Windows whether a signed file still matches the
// digest of its Authenticode signature. wintrust.dll is loaded from the system directory
// for the call, so the program carries no import of it.
#include <stdlib.h>

#include "platform/system.h"

// softpub.h builds on wintrust.h, which builds on windows.h.
#include <softpub.h>
#include <wintrust.h>

namespace {

using WinVerifyTrustFunction = LONG(WINAPI*)(HWND window, GUID* action, void* data);

} // namespace

DigestCheck CheckSignatureDigest(CFileStream& file) {
    HMODULE wintrust = LoadSystemLibrary("wintrust.dll");
    if (wintrust == nullptr) {
        return DigestCheck::NotChecked;
    }
    auto winVerifyTrust = reinterpret_cast<WinVerifyTrustFunction>(
        reinterpret_cast<void*>(GetProcAddress(wintrust, "WinVerifyTrust")));
    HANDLE handle = reinterpret_cast<HANDLE>(file.GetOsHandle());
    // WinVerifyTrust reads the file through its handle, and wants a path beside it: the
    // program's own, which names that file unless the program was started with another
    // argument zero. An empty one leaves the handle alone to name the file.
    wchar_t* path = GetModulePathW();
    LONG status = TRUST_E_NOSIGNATURE;
    if (winVerifyTrust != nullptr && path != nullptr) {
        const int64_t position = file.GetPosition();
        WINTRUST_FILE_INFO fileInfo = {};
        fileInfo.cbStruct = sizeof fileInfo;
        fileInfo.pcwszFilePath = path;
        fileInfo.hFile = handle;
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
        status = winVerifyTrust(noUser, &action, &data);
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        winVerifyTrust(noUser, &action, &data);
        // The check read through the handle: put the stream back where it was.
        file.Seek(position);
    }
    free(path);
    FreeLibrary(wintrust);
    switch (status) {
    case ERROR_SUCCESS:
        return DigestCheck::Matches;
    case TRUST_E_BAD_DIGEST:
        return DigestCheck::Mismatch;
    }
    return DigestCheck::NotChecked;
}
