// tests/ui/security_test.cpp: what only Windows decides, as an attacker or an unlucky user
// meets it: the run's folder and its seal, stray directories at the drive root, files held
// during the clean-up, DLLs planted where the stub looks.
#include <aclapi.h>

#include <filesystem>
#include <set>

#include "platform/system/filesystem.h"
#include "tests/ui/installer_fixture.h"

namespace {

// SIDs as bytes, to compare and to hand to the system.
std::string WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::string sid(SECURITY_MAX_SID_SIZE, '\0');
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, &sid[0], &size));
    return sid.substr(0, size);
}

std::string SidBytes(PSID sid) { return std::string(static_cast<char*>(sid), GetLengthSid(sid)); }

std::string UserSid() {
    HANDLE token = nullptr;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } self;
    DWORD length = 0;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                GetTokenInformation(token, TokenUser, &self, sizeof self, &length));
    CloseHandle(token);
    return SidBytes(self.user.User.Sid);
}

// A run with the user's limited token (an elevated one seals its folder): the folder's DACL
// names only the user, SYSTEM and the Administrators. After it the stray directories older
// setup programs left at the root of the Windows drive go, when empty.
TEST_F(InstallerTest, UnelevatedRunsFolderBelongsToItsUserAloneAndEmptyStraysGo) {
    const std::string root = std::string(getenv("windir")).substr(0, 3);
    std::filesystem::create_directories(root + "%SystemRoot%\\Profiles\\All Users\\Desktop");
    std::filesystem::create_directories(root + "%USERPROFILE%\\Desktop");
    WriteFileBytes(root + "%USERPROFILE%\\Desktop\\kept.txt", "mine");
    limited = true;
    Launch(Installer(Payload()));
    ClickControl(dialog, IDOK);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              GetNamedSecurityInfoA(RunFolder().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, &dacl, nullptr, &descriptor));
    ASSERT_NE(nullptr, dacl);
    std::set<std::string> trustees;
    for (DWORD k = 0; k < dacl->AceCount; ++k) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, k, reinterpret_cast<void**>(&ace)));
        trustees.insert(SidBytes(&ace->SidStart));
    }
    trustees.erase(WellKnownSid(WinLocalSystemSid));
    trustees.erase(WellKnownSid(WinBuiltinAdministratorsSid));
    EXPECT_EQ(std::set<std::string>{UserSid()}, trustees) << "the user and no one else";
    LocalFree(descriptor);
    EXPECT_EQ(42, Release());
    EXPECT_FALSE(FileExists(root + "%SystemRoot%"));
    EXPECT_TRUE(FileExists(root + "%USERPROFILE%\\Desktop\\kept.txt"));
    std::filesystem::remove_all(root + "%USERPROFILE%");
}

// The seal before an elevated start, asked of AccessCheck: the user without administrator
// rights in force gets reading, running and deleting only, an administrator full control,
// and OWNER RIGHTS takes the owner's implicit re-granting (which Wine does not apply). Wine
// keeps no DACL to read back: real access only Windows shows.
TEST_F(InstallerTest, SealedRunFolderLetsItsUserOnlyReadRunAndDelete) {
    ASSERT_TRUE(CreatePrivateDirectory((dir / "KelvaneSetup-1-0").c_str()));
    ASSERT_TRUE(SealPrivateDirectory((dir / "KelvaneSetup-1-0").c_str()));
    std::string system = WellKnownSid(WinLocalSystemSid), admins = WellKnownSid(WinBuiltinAdministratorsSid);
    ACL* dacl = const_cast<ACL*>(GetSealedDacl());
    ASSERT_TRUE(IsValidAcl(dacl));
    // Owned by SYSTEM: the owner's implicit rights stay out of the check.
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorOwner(&descriptor, &system[0], FALSE) &&
                SetSecurityDescriptorGroup(&descriptor, &system[0], FALSE) &&
                SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE));
    HANDLE own = nullptr, unelevated = nullptr;
    SID_AND_ATTRIBUTES denyOnly = {&admins[0], 0};
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own) &&
                CreateRestrictedToken(own, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &unelevated));
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    const std::pair<HANDLE, DWORD> cases[] = {
        {unelevated, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | DELETE},
        {own, FILE_ALL_ACCESS},
    };
    for (const auto& [token, expected] : cases) {
        HANDLE impersonation = nullptr;
        ASSERT_TRUE(DuplicateToken(token, SecurityImpersonation, &impersonation));
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges, granted = 0;
        BOOL allowed = FALSE;
        ASSERT_TRUE(AccessCheck(&descriptor, impersonation, MAXIMUM_ALLOWED, &mapping, &privileges,
                                &privilegesSize, &granted, &allowed));
        EXPECT_EQ(expected, granted) << std::hex << "granted 0x" << granted;
        CloseHandle(impersonation);
    }
    CloseHandle(unelevated);
    CloseHandle(own);
    bool ownerRightsLimited = false;
    for (DWORD k = 0; k < dacl->AceCount; ++k) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, k, reinterpret_cast<void**>(&ace)));
        ownerRightsLimited =
            ownerRightsLimited || (SidBytes(&ace->SidStart) == WellKnownSid(WinCreatorOwnerRightsSid) &&
                                   (ace->Mask & ~(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE)) == 0);
    }
    EXPECT_TRUE(ownerRightsLimited) << "no OWNER RIGHTS entry that keeps the owner from re-granting";
}

// A file the setup program's scanner still holds after it ends, let go once the clean-up
// has found it held, goes with the folder; one held on stays, and the installer ends all
// the same with the setup program's status.
TEST_F(InstallerTest, CleanUpWaitsForABrieflyHeldFileButNotForever) {
    for (const bool briefly : {true, false}) {
        SCOPED_TRACE(briefly ? "let go" : "held on");
        DeleteFileA(record.c_str());
        Launch(Installer(Payload()));
        ClickControl(dialog, IDOK);
        const std::string folder = RunFolder(), held = folder + "\\Setup.jar";
        HANDLE holder =
            CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder) << held << " " << GetLastError();
        WriteFileBytes(release, "");
        if (briefly) {
            // Setup.exe goes first, in the pass that finds Setup.jar held.
            EXPECT_TRUE(WaitUntil([&] { return !FileExists(folder + "\\Setup.exe"); }));
            CloseHandle(holder);
        }
        EXPECT_EQ(42, Release());
        if (!briefly) {
            CloseHandle(holder);
        }
        EXPECT_EQ(!briefly, FileExists(held));
        std::filesystem::remove_all(std::filesystem::u8path(temp));
        MakeDirectory(temp);
    }
}

// Every library the stub loads at run time, and wintrust's own dependencies, planted beside
// a signed installer (its working directory too) and, while the setup program runs, in the
// run's folder: a whole install with About before and during it loads none of them.
TEST_F(InstallerTest, SignedInstallThroughAboutLoadsNoPlantedDll) {
    const std::vector<std::string> planted = {"comctl32", "uxtheme", "shell32", "shlwapi",
                                              "wintrust", "crypt32", "msasn1",  "imagehlp",
                                              "cryptnet", "cryptui", "bcrypt"};
    PlantDlls(dir.path(), planted);
    Launch(ReadFileBytes(Signed("case-1\\installer.exe")));
    ClickControl(dialog, IDC_ABOUT);
    CloseAbout(IDOK);
    ClickControl(dialog, IDOK);
    const std::string folder = RunFolder();
    PlantDlls(folder, planted);
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    CloseAbout(IDOK);
    EXPECT_EQ(42, Release());
    for (const std::string& where : {dir.path(), folder}) {
        for (const std::string& name : planted) {
            EXPECT_FALSE(FileExists(where + "\\" + name + ".dll.loaded"))
                << name << " was loaded from " << where;
        }
    }
}

} // namespace
