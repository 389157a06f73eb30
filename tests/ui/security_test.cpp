// tests/ui/security_test.cpp: what only Windows decides, as an attacker or an unlucky user
// meets it: a command line naming another file, an installer replaced as it starts or held
// by another program, the run's folder and its seal, files held during the clean-up, DLLs
// planted where the stub looks.
#include <aclapi.h>
#include <zlib.h>

#include <filesystem>

#include "platform/system/filesystem.h"
#include "tests/ui/installer_fixture.h"

namespace {

// Started with a command line that names another installer as the program, it shows and
// installs its own payload; from its start to its end, nobody can write or delete it.
TEST_F(InstallerTest, UnpacksOnlyItselfWhateverItsCommandLineAndHoldsItsFile) {
    const std::string other = dir / "other.exe";
    WriteFileBytes(other,
                   BuildInstaller(stub, "Other Product", {"not the setup program", "x", "", "", "", ""}));
    WriteFileBytes(installer, Installer(Payload()));
    auto CannotChange = [&] {
        HANDLE writer = CreateFileA(installer.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        const bool refused = writer == INVALID_HANDLE_VALUE && !DeleteFileA(installer.c_str());
        CloseHandle(writer);
        return refused;
    };
    ASSERT_TRUE(process.Start("\"" + other + "\"", dir.path(), false, installer));
    dialog = process.WaitForWindow(InstallerCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Kelvane Studio" + std::string(26, ' '), ControlText(dialog, IDC_PRODUCT));
    EXPECT_TRUE(CannotChange()) << "in Ready";
    ClickControl(dialog, IDOK);
    EXPECT_EQ(Payload()[1], ReadFileBytes(RunFolder() + "\\Setup.jar"));
    EXPECT_TRUE(CannotChange()) << "while the setup program runs";
    EXPECT_EQ(42, Release());
}

// Renamed while it starts, before it opens its own file, and another installer put under
// its name: the same stub with another payload, whose last four bytes make its CRC-32
// the one the original's seal records, so that only the file's identity tells them
// apart. The installer refuses before any window, with a message and status of its own,
// and runs nothing; under a hard link to itself it is the same file and installs.
TEST_F(InstallerTest, InstallerRenamedAndReplacedBeforeItOpensItselfRunsNothing) {
    const std::string original = WithSealedDigest(Installer(Payload()), stub.size());
    const uint32_t sealed = static_cast<uint32_t>(crc32_z(
        0, reinterpret_cast<const Bytef*>(original.data() + stub.size()), original.size() - stub.size()));
    const std::string other = WithSealedDigest(
        WithForgedCrc32(BuildInstaller(stub, "Replacement", {setup, "other", "", "", "", "", "tail"}),
                        stub.size(), sealed),
        stub.size());
    const std::string moved = dir / "moved.exe";
    struct Case {
        const char* name;
        std::function<void()> beforeRun;
        long status; // 42: the setup program ran
    } cases[] = {
        {"left alone", [] {}, 42},
        {"renamed, a hard link to it under its name",
         [&] {
             ASSERT_TRUE(MoveFileA(installer.c_str(), moved.c_str()));
             ASSERT_TRUE(CreateHardLinkA(installer.c_str(), moved.c_str(), nullptr));
         },
         42},
        {"renamed and replaced",
         [&] {
             ASSERT_TRUE(MoveFileA(installer.c_str(), moved.c_str()));
             WriteFileBytes(installer, other);
         },
         ExitInstallerReplaced},
    };
    WriteFileBytes(release, "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Launch(original, c.beforeRun);
        if (c.status == 42) {
            EXPECT_EQ("Kelvane Studio" + std::string(26, ' '), ControlText(dialog, IDC_PRODUCT));
            ClickControl(dialog, IDOK);
        } else {
            const std::string text = ControlText(dialog, MessageTextId); // the box, no window
            EXPECT_NE(std::string::npos, text.find("was replaced while it started")) << text;
            PressKey(dialog, VK_RETURN);
        }
        EXPECT_EQ(c.status, process.WaitForExit());
        EXPECT_EQ(c.status == 42, FileExists(record)) << "whether a setup program ran";
        EXPECT_TRUE(ListDirectory(temp).empty());
        DeleteFileA(record.c_str());
        DeleteFileA(moved.c_str());
    }
}

// Held by another program that shuts readers out: for a moment, the installer waits and
// then works; for longer, it says so and ends with its own status, having written nothing.
TEST_F(InstallerTest, InstallerHeldByAnotherProgramIsWaitedForThenNamedInUse) {
    WriteFileBytes(installer, Installer(Payload()));
    // Let go after a second, or only once the installer has given up.
    for (const bool briefly : {true, false}) {
        SCOPED_TRACE(briefly ? "held for a second" : "held on");
        ASSERT_TRUE(process.Start("\"" + installer + "\"", dir.path(), true));
        HANDLE holder = CreateFileA(installer.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        process.Resume();
        if (briefly) {
            Sleep(1000);
            CloseHandle(holder);
        }
        HWND window = process.WaitForWindow(InstallerCaption);
        if (!briefly) {
            CloseHandle(holder);
        }
        ASSERT_NE(nullptr, window);
        if (briefly) {
            EXPECT_EQ("Kelvane Studio" + std::string(26, ' '), ControlText(window, IDC_PRODUCT));
            ClickControl(window, IDCANCEL);
            EXPECT_EQ(ExitCancelled, process.WaitForExit());
        } else {
            const std::string text = ControlText(window, MessageTextId);
            EXPECT_NE(std::string::npos, text.find("Another program is using this installer")) << text;
            PressKey(window, VK_RETURN);
            EXPECT_EQ(ExitInstallerInUse, process.WaitForExit());
        }
        EXPECT_TRUE(ListDirectory(temp).empty());
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
    BYTE system[SECURITY_MAX_SID_SIZE], admins[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof system, adminsSize = sizeof admins;
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize) &&
                CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize));
    bool userAllowed = false;
    for (DWORD k = 0; k < dacl->AceCount; ++k) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, k, reinterpret_cast<void**>(&ace)));
        PSID sid = &ace->SidStart;
        userAllowed = userAllowed || EqualSid(sid, self.user.User.Sid);
        EXPECT_TRUE(EqualSid(sid, self.user.User.Sid) || EqualSid(sid, system) || EqualSid(sid, admins))
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
    BYTE system[SECURITY_MAX_SID_SIZE], admins[SECURITY_MAX_SID_SIZE], ownerRights[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof system, adminsSize = sizeof admins, ownerRightsSize = sizeof ownerRights;
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize) &&
                CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize) &&
                CreateWellKnownSid(WinCreatorOwnerRightsSid, nullptr, ownerRights, &ownerRightsSize));
    ACL* dacl = const_cast<ACL*>(GetSealedDacl());
    ASSERT_TRUE(IsValidAcl(dacl));
    // Owned by SYSTEM: the owner's implicit rights stay out of the check.
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorOwner(&descriptor, system, FALSE) &&
                SetSecurityDescriptorGroup(&descriptor, system, FALSE) &&
                SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE));
    HANDLE own = nullptr, unelevated = nullptr;
    SID_AND_ATTRIBUTES denyOnly = {admins, 0};
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
            ownerRightsLimited || (EqualSid(&ace->SidStart, ownerRights) &&
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
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
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
