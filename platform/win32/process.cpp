// platform/win32/process.cpp: starting the setup program on Win32, directly or, when it
// wants administrator rights, through the shell, and waiting for its status.
#include "platform/process.h"

#include <string.h>

#include "platform/system.h"

// shellapi.h only for SHELLEXECUTEINFOA: the function itself is looked up at run time.
#include <shellapi.h>

namespace {

// ERROR_ELEVATION_REQUIRED, which mingw-w64's winerror.h lacks.
constexpr DWORD ErrorElevationRequired = 740;

using ShellExecuteExAFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOA* info);
using OpenProcessTokenFunction = BOOL(WINAPI*)(HANDLE process, DWORD access, HANDLE* token);
using GetTokenInformationFunction = BOOL(WINAPI*)(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                                                  void* information, DWORD size, DWORD* length);

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

} // namespace

StartResult StartProgram(const char* path, const char* directory, ProgramProcess& process) {
    // With the path as application name and an empty text as command line, the program's
    // GetCommandLineA is really empty; a null command line would repeat the path there.
    char commandLine[1] = "";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &info)) {
        return GetLastError() == ErrorElevationRequired ? ShellExecuteProgram(path, directory, process)
                                                        : StartResult::Failed;
    }
    CloseHandle(info.hThread);
    process = reinterpret_cast<ProgramProcess>(info.hProcess);
    return StartResult::Started;
}

StartResult ShellExecuteProgram(const char* path, const char* directory, ProgramProcess& process) {
    HMODULE shell32 = LoadSystemLibrary("shell32.dll");
    if (shell32 == nullptr) {
        return StartResult::Failed;
    }
    auto shellExecuteEx = reinterpret_cast<ShellExecuteExAFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "ShellExecuteExA")));
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // NOASYNC: the shell finishes its work before returning, not on a thread of its own.
    // FLAG_NO_UI: a failure is the caller's to report; the consent prompt still shows.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    // A program started with administrator rights would otherwise start in the system
    // directory.
    info.lpDirectory = directory;
    info.nShow = SW_SHOWNORMAL;
    bool started = shellExecuteEx != nullptr && shellExecuteEx(&info);
    if (!started) {
        // shell32 stays loaded, for the little time the process has left: freeing it could
        // overwrite the error the caller tells the user.
        return StartResult::Failed;
    }
    FreeLibrary(shell32);
    // The shell hands out no process when something else ran the file for it.
    if (info.hProcess == nullptr) {
        return StartResult::Unwatched;
    }
    process = reinterpret_cast<ProgramProcess>(info.hProcess);
    return StartResult::Started;
}

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
    CloseHandle(token);
    FreeLibrary(advapi32);
    if (!found) {
        return FALSE;
    }
    unsigned char descriptor[sizeof PrivateDescriptorHead + SECURITY_MAX_SID_SIZE];
    memcpy(descriptor, PrivateDescriptorHead, sizeof PrivateDescriptorHead);
    const unsigned char* sid = static_cast<const unsigned char*>(owner.user.User.Sid);
    const unsigned sidLength = SidHeadLength + 4 * sid[1]; // sid[1]: its count of sub-authorities
    memcpy(descriptor + sizeof PrivateDescriptorHead, sid, sidLength);
    descriptor[DaclSizeAt] = static_cast<unsigned char>(sizeof PrivateDescriptorHead - DaclAt + sidLength);
    descriptor[UserAceSizeAt] = static_cast<unsigned char>(AceHeadLength + sidLength);
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    return CreateDirectoryA(path, &security);
}

bool WaitForProgram(ProgramProcess process, DWORD& exitCode) {
    HANDLE handle = reinterpret_cast<HANDLE>(process);
    bool ended = WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0;
    bool known = ended && GetExitCodeProcess(handle, &exitCode);
    CloseHandle(handle);
    return known;
}
