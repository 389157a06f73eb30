// platform/system/win32/filesystem.cpp: the run's private folder, made with a security
// descriptor of its own and sealed before an elevated start.
#include "platform/system/filesystem.h"

#include <string.h>

#include "platform/system/library.h"

namespace {

using OpenProcessTokenFunction = BOOL(WINAPI*)(HANDLE process, DWORD access, HANDLE* token);
using GetTokenInformationFunction = BOOL(WINAPI*)(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                                                  void* information, DWORD size, DWORD* length);
using SetNamedSecurityInfoAFunction = DWORD(WINAPI*)(char* name, int kind, SECURITY_INFORMATION parts,
                                                     void* owner, void* group, ACL* dacl, void* sacl);
constexpr int FileObject = 1; // SE_FILE_OBJECT

// GetCurrentProcess() without the import: the pseudo handle it always returns.
const HANDLE CurrentProcess = reinterpret_cast<HANDLE>(-1);

// A self-relative security descriptor whose DACL gives full control (FILE_ALL_ACCESS)
// to SYSTEM, the Administrators and the user, passed on to everything made inside
// (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), and takes nothing from the parent
// (SE_DACL_PROTECTED). No owner: the folder gets the token's default one. Written out,
// it spares four imports from advapi32 (the SDDL text "D:P(A;OICI;FA;;;SY)
// (A;OICI;FA;;;BA)(A;OICI;FA;;;<user>)" would need them). The user's SID follows, and
// the DACL's and the last entry's sizes are set then.
constexpr unsigned DaclAt = 20;
constexpr unsigned DaclSizeAt = DaclAt + 2;
constexpr unsigned AceHeadLength = 8; // type, flags, size, access mask
constexpr unsigned SidHeadLength = 8; // revision, count, authority
const unsigned char PrivateDescriptorHead[] = {
    // revision 1; control SE_DACL_PRESENT | SE_DACL_PROTECTED | SE_SELF_RELATIVE; no
    // owner, group or SACL; the DACL at 20
    1, 0, 0x04, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, DaclAt, 0, 0, 0,
    // ACL revision 2, its size (set later), three entries
    2, 0, 0, 0, 3, 0, 0, 0,
    // allowed, inherited by files and folders, 20 bytes, FILE_ALL_ACCESS: S-1-5-18
    0, 3, 20, 0, 0xFF, 0x01, 0x1F, 0x00, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
    // the same, 24 bytes: S-1-5-32-544
    0, 3, 24, 0, 0xFF, 0x01, 0x1F, 0x00, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0,
    // the same for the user (its size set later), whose SID follows
    0, 3, 0, 0, 0xFF, 0x01, 0x1F, 0x00};
constexpr unsigned UserAceSizeAt = sizeof PrivateDescriptorHead - AceHeadLength + 2;
constexpr unsigned UserAceMaskAt = sizeof PrivateDescriptorHead - 4;
constexpr unsigned AceCountAt = DaclAt + 4;

// Sealed for an elevated program, the same DACL with the user's entry cut down to
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | DELETE: enough to run the entries and for
// the clean-up to delete them and the folder, no right to add, write or replace
// (FILE_ADD_FILE, FILE_WRITE_DATA and the like; a rename into the folder needs
// FILE_ADD_FILE on it). An entry for OWNER RIGHTS (S-1-3-4) follows, with read and
// execute: a DACL that names it grants the owner, the user, only that instead of the
// implicit READ_CONTROL | WRITE_DAC, so that the user cannot give the rights back.
constexpr uint32_t SealedUserAccess = 0x1300A9;
const unsigned char OwnerRightsAce[] = {0, 3, 20, 0, 0xA9, 0x00, 0x12, 0x00, 1, 1,
                                        0, 0, 0,  0, 0,    3,    4,    0,    0, 0};

// The descriptor of the folder CreatePrivateDirectory made last, room for the seal's
// entry included. TokenElevation of the process token, as it found it.
unsigned char g_descriptor[sizeof PrivateDescriptorHead + SECURITY_MAX_SID_SIZE + sizeof OwnerRightsAce];
bool g_elevated = false;

} // namespace

bool RunsElevated() { return g_elevated; }

BOOL CreatePrivateDirectory(const char* path) {
    // The user from the process token: the owner-rights alias is not understood alike by
    // every Windows version.
    // advapi32 is loaded from the system directory, like every DLL beyond the three the
    // stub imports.
    HMODULE advapi32 = LoadSystemLibrary("advapi32.dll");
    auto openProcessToken = reinterpret_cast<OpenProcessTokenFunction>(
        reinterpret_cast<void*>(GetProcAddress(advapi32, "OpenProcessToken")));
    auto getTokenInformation = reinterpret_cast<GetTokenInformationFunction>(
        reinterpret_cast<void*>(GetProcAddress(advapi32, "GetTokenInformation")));
    HANDLE token = nullptr;
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } owner;
    DWORD length = 0;
    bool found = openProcessToken != nullptr && getTokenInformation != nullptr &&
                 openProcessToken(CurrentProcess, TOKEN_QUERY, &token) &&
                 getTokenInformation(token, TokenUser, &owner, sizeof owner, &length);
    // TOKEN_ELEVATION: one DWORD, nonzero while administrator rights are in force.
    DWORD elevation = 0;
    if (found && getTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &length)) {
        g_elevated = elevation != 0;
    }
    CloseHandle(token);
    FreeLibrary(advapi32);
    if (!found) {
        return FALSE;
    }
    unsigned char* descriptor = g_descriptor;
    memcpy(descriptor, PrivateDescriptorHead, sizeof PrivateDescriptorHead);
    const unsigned char* sid = static_cast<const unsigned char*>(owner.user.User.Sid);
    const unsigned sidLength = SidHeadLength + 4 * sid[1]; // sid[1]: its count of sub-authorities
    memcpy(descriptor + sizeof PrivateDescriptorHead, sid, sidLength);
    descriptor[DaclSizeAt] = static_cast<unsigned char>(sizeof PrivateDescriptorHead - DaclAt + sidLength);
    descriptor[UserAceSizeAt] = static_cast<unsigned char>(AceHeadLength + sidLength);
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    return CreateDirectoryA(path, &security);
}

BOOL SealPrivateDirectory(const char* path) {
    const unsigned sealAt = sizeof PrivateDescriptorHead - AceHeadLength + g_descriptor[UserAceSizeAt];
    memcpy(g_descriptor + sealAt, OwnerRightsAce, sizeof OwnerRightsAce);
    g_descriptor[DaclSizeAt] = static_cast<unsigned char>(sealAt + sizeof OwnerRightsAce - DaclAt);
    g_descriptor[AceCountAt] = 4;
    memcpy(g_descriptor + UserAceMaskAt, &SealedUserAccess, sizeof SealedUserAccess);
    // One call for the folder and its entries: SetNamedSecurityInfoA sets the folder's DACL
    // and then hands its inheritable entries on to everything inside, whose entries are
    // all inherited (SetFileSecurityA would set the folder alone). advapi32 stays loaded
    // for the little time the process has left.
    auto setNamedSecurityInfo = reinterpret_cast<SetNamedSecurityInfoAFunction>(
        reinterpret_cast<void*>(GetProcAddress(LoadSystemLibrary("advapi32.dll"), "SetNamedSecurityInfoA")));
    return setNamedSecurityInfo != nullptr &&
           setNamedSecurityInfo(const_cast<char*>(path), FileObject,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, reinterpret_cast<ACL*>(g_descriptor + DaclAt),
                                nullptr) == ERROR_SUCCESS;
}

const ACL* GetSealedDacl() { return reinterpret_cast<const ACL*>(g_descriptor + DaclAt); }
