// tests/ui/security_test.cpp: what only Windows decides, as an attacker or an unlucky user
// meets it: a command line naming another file, an installer replaced as it starts or held
// by another program, the run's folder and its seal, files held during the clean-up, DLLs
// planted where the stub looks.
#include <aclapi.h>

#include <filesystem>
#include <thread>

#include "platform/system/filesystem.h"
#include "tests/ui/installer_fixture.h"

namespace {

std::string WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::string sid(SECURITY_MAX_SID_SIZE, '\0');
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, &sid[0], &size));
    return sid;
}

// As it starts: its command line naming another installer; renamed and replaced before it
// opens itself (the seal would refuse the other payload only later); held by another program
// that shuts readers out, for a moment (waited for) or on. Those that run nothing say why
// before any window; the others hold their file until they end.
TEST_F(InstallerTest, OwnFileReplacedOrHeldAsItStartsIsToldBeforeAnyWindow) {
    const std::string original = WithSealedDigest(Installer(Payload()), stub.size());
    const std::string other = BuildInstaller(stub, "Replacement", {setup, "other", "", "", "", "", "tail"});
    const std::string moved = dir / "moved.exe", another = "\"" + (dir / "other.exe") + "\"";
    WriteFileBytes(dir / "other.exe",
                   BuildInstaller(stub, "Other", {"not the setup program", "x", "", "", "", ""}));
    auto CannotChange = [&] {
        HANDLE writer = CreateFileA(installer.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        CloseHandle(writer);
        return writer == INVALID_HANDLE_VALUE && !DeleteFileA(installer.c_str());
    };
    HANDLE holder = INVALID_HANDLE_VALUE;
    auto Hold = [&] {
        holder = CreateFileA(installer.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    const struct {
        const char* name;
        std::function<void()> beforeRun;
        long status;
        const char* message; // nullptr: it runs
        std::string commandLine = "";
    } cases[] = {
        {"its command line naming another installer", [] {}, 42, nullptr, another},
        {"renamed, a hard link to it under its name",
         [&] {
             MoveFileA(installer.c_str(), moved.c_str()) &&
                 CreateHardLinkA(installer.c_str(), moved.c_str(), nullptr);
         },
         42, nullptr},
        {"renamed and replaced",
         [&] {
             MoveFileA(installer.c_str(), moved.c_str());
             WriteFileBytes(installer, other);
         },
         ExitInstallerReplaced, "was replaced while it started"},
        {"held for a second",
         [&] {
             Hold();
             std::thread([held = holder] { Sleep(1000), CloseHandle(held); }).detach();
         },
         42, nullptr},
        {"held on", Hold, ExitInstallerInUse, "Another program is using this installer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Launch(original, c.beforeRun, c.commandLine);
        if (c.message == nullptr) {
            EXPECT_EQ("Kelvane Studio" + std::string(26, ' '), ControlText(dialog, IDC_PRODUCT));
            EXPECT_TRUE(CannotChange()) << "in Ready";
            ClickControl(dialog, IDOK);
            EXPECT_EQ(Payload()[1], ReadFileBytes(RunFolder() + "\\Setup.jar"));
            EXPECT_TRUE(CannotChange()) << "while the setup program runs";
        } else {
            const std::string text = ControlText(dialog, MessageTextId); // the box, no window
            EXPECT_NE(std::string::npos, text.find(c.message)) << text;
            PressKey(dialog, VK_RETURN);
        }
        EXPECT_EQ(c.status, c.message == nullptr ? Release() : process.WaitForExit());
        EXPECT_EQ(c.message == nullptr, FileExists(record)) << "whether a setup program ran";
        EXPECT_TRUE(ListDirectory(temp).empty());
        if (c.status == ExitInstallerInUse) {
            CloseHandle(holder);
        }
        DeleteFileA(record.c_str());
        DeleteFileA(moved.c_str());
    }
}

// The run's folder, with the user's limited token (an elevated run seals it): its DACL
// names only the user, SYSTEM and the Administrators.
TEST_F(InstallerTest, RunFolderBelongsToItsUserAlone) {
    limited = true;
    Launch(Installer(Payload()));
    ClickControl(dialog, IDOK);
    const std::string folder = RunFolder();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                                   nullptr, nullptr, &dacl, nullptr, &descriptor));
    ASSERT_NE(nullptr, dacl);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } self;
    DWORD length = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, &self, sizeof self, &length));
    CloseHandle(token);
    std::string system = WellKnownSid(WinLocalSystemSid), admins = WellKnownSid(WinBuiltinAdministratorsSid);
    bool userAllowed = false;
    for (DWORD k = 0; k < dacl->AceCount; ++k) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, k, reinterpret_cast<void**>(&ace)));
        PSID sid = &ace->SidStart;
        userAllowed = userAllowed || EqualSid(sid, self.user.User.Sid);
        EXPECT_TRUE(EqualSid(sid, self.user.User.Sid) || EqualSid(sid, &system[0]) ||
                    EqualSid(sid, &admins[0]))
            << "entry " << k << " names someone else";
    }
    LocalFree(descriptor);
    EXPECT_TRUE(userAllowed);
    EXPECT_EQ(42, Release());
}

// The seal before an elevated start, asked of AccessCheck: the user without administrator
// rights in force gets reading, running and deleting only, an administrator full control,
// and OWNER RIGHTS takes the owner's implicit re-granting; the clean-up still deletes it
// all. (Wine keeps no DACL to read back and hands nothing down to the entries: real access
// only Windows shows.)
TEST_F(InstallerTest, SealedRunFolderLetsItsUserOnlyReadRunAndDelete) {
    const std::string folder = dir / "KelvaneSetup-1-0";
    ASSERT_TRUE(CreatePrivateDirectory(folder.c_str()));
    const std::vector<std::string> entries = Payload();
    for (size_t k = 0; k < entries.size(); ++k) {
        WriteFileBytes(folder + PayloadEntryTable[k], entries[k]);
    }
    ASSERT_TRUE(SealPrivateDirectory(folder.c_str()));
    std::string system = WellKnownSid(WinLocalSystemSid), admins = WellKnownSid(WinBuiltinAdministratorsSid),
                ownerRights = WellKnownSid(WinCreatorOwnerRightsSid);
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
            ownerRightsLimited || (EqualSid(&ace->SidStart, &ownerRights[0]) &&
                                   (ace->Mask & ~(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE)) == 0);
    }
    EXPECT_TRUE(ownerRightsLimited) << "no OWNER RIGHTS entry that keeps the owner from re-granting";
    // The clean-up leaves its TEMP as the current directory.
    char current[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, current));
    CleanUpTemp(dir.path().c_str(), folder.c_str());
    SetCurrentDirectoryA(current);
    EXPECT_FALSE(FileExists(folder)) << "the clean-up could not delete everything";
}

// A file the setup program's scanner still holds for about a second after it ends goes
// with the folder; one held for a minute stays, and the installer ends all the same,
// well within the bound, with the setup program's status.
TEST_F(InstallerTest, CleanUpWaitsForABrieflyHeldFileButNotForever) {
    for (const bool briefly : {true, false}) {
        SCOPED_TRACE(briefly ? "held for a second" : "held on");
        Launch(Installer(Payload()));
        ClickControl(dialog, IDOK);
        const std::string held = RunFolder() + "\\Setup.jar";
        HANDLE holder =
            CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder) << held << " " << GetLastError();
        WriteFileBytes(release, "");
        if (briefly) {
            Sleep(1000);
            CloseHandle(holder);
        }
        EXPECT_EQ(42, Release(10000)) << "the clean-up waits a few seconds at most";
        if (!briefly) {
            CloseHandle(holder);
        }
        EXPECT_EQ(!briefly, FileExists(held));
        std::filesystem::remove_all(std::filesystem::u8path(temp));
        MakeDirectory(temp);
        DeleteFileA(record.c_str());
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
