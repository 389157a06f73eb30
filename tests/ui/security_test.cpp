// tests/ui/security_test.cpp: who may enter the run's folder and Setup.exe, as only Windows decides.
#include <aclapi.h>

#include <filesystem>
#include <set>

#include "platform/system/file.h"
#include "platform/system/filesystem.h"
#include "platform/system/process.h"
#include "tests/ui/installer_fixture.h"

namespace {

std::string WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::string sid(SECURITY_MAX_SID_SIZE, '\0');
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, &sid[0], &size));
    return sid.substr(0, size);
}

std::string SidBytes(PSID sid) { return std::string(static_cast<char*>(sid), GetLengthSid(sid)); }

std::string UserSid() {
    HANDLE token = nullptr;
    alignas(TOKEN_USER) BYTE self[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                GetTokenInformation(token, TokenUser, self, sizeof self, &length));
    CloseHandle(token);
    return SidBytes(reinterpret_cast<TOKEN_USER*>(self)->User.Sid);
}

std::set<std::string> OtherTrustees(const std::string& folder) {
    std::set<std::string> trustees;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, GetNamedSecurityInfoW(std::filesystem::u8path(folder).wstring().c_str(),
                                                   SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                   nullptr, &dacl, nullptr, &descriptor));
    ACCESS_ALLOWED_ACE* ace = nullptr;
    for (DWORD k = 0;
         dacl != nullptr && k < dacl->AceCount && GetAce(dacl, k, reinterpret_cast<void**>(&ace)); ++k) {
        trustees.insert(SidBytes(&ace->SidStart));
    }
    LocalFree(descriptor);
    trustees.erase(WellKnownSid(WinLocalSystemSid));
    trustees.erase(WellKnownSid(WinBuiltinAdministratorsSid));
    return trustees;
}

// Limited tokens, as an elevated run seals its folder; paths the session's code page cannot write.
TEST_F(InstallerTest, UnelevatedSignedInstallersTwoAtOnceFromOtherScriptsEachRunInAFolderOfTheirOwn) {
    ASSERT_EQ(1252u, GetACP());
    const std::string root = std::string(getenv("windir")).substr(0, 3);
    std::filesystem::create_directories(root + "%SystemRoot%\\Profiles\\All Users\\Desktop");
    std::filesystem::create_directories(root + "%USERPROFILE%\\Desktop");
    WriteFileBytes(root + "%USERPROFILE%\\Desktop\\kept.txt", "mine");
    const std::string folder = dir / GreekName;
    temp = dir / CyrillicName;
    ASSERT_TRUE(MakeDirectory(folder) && MakeDirectory(temp));
    SetVariable("TEMP", temp);
    const std::string cases[2] = {"case-0", "case-7"};
    CInstallerProcess runs[2];
    for (int k = 0; k < 2; ++k) {
        WriteFileBytes(folder + "\\" + cases[k] + ".exe",
                       ReadFileBytes(Signed(cases[k] + "\\installer.exe")));
        SetVariable("SFX_STANDIN_RECORD", dir / cases[k]);
        SetVariable("SFX_STANDIN_STATUS", std::to_string(42 + k));
        ASSERT_TRUE(runs[k].Start("\"" + folder + "\\" + cases[k] + ".exe\"", dir.path(), false, "", true));
        // A command rather than a click: both windows open at the same place.
        PostMessageA(runs[k].WaitForWindow(InstallerCaption), WM_COMMAND, IDOK, 0);
    }
    // Each setup program lingers until both have started.
    for (const std::string& name : cases) {
        StandinRecord setup = WaitForRecord(dir / name);
        ExpectRunsInOwnFolder(setup, temp, SignedEntries(name));
        EXPECT_EQ(std::set<std::string>{UserSid()}, OtherTrustees(setup["directory"].at(0)));
    }
    WriteFileBytes(release, "");
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(42 + k, runs[k].WaitForExit()) << cases[k];
    }
    EXPECT_TRUE(ListDirectory(temp).empty());
    EXPECT_FALSE(FileExists(root + "%SystemRoot%"));
    EXPECT_TRUE(FileExists(root + "%USERPROFILE%\\Desktop\\kept.txt"));
    std::filesystem::remove_all(root + "%USERPROFILE%");
}

// Asked of AccessCheck, as Wine keeps no DACL to read back; Wine does not apply OWNER RIGHTS.
TEST_F(InstallerTest, SealedRunFolderLetsItsUserOnlyReadRunAndDelete) {
    ASSERT_TRUE(CreatePrivateDirectory((dir / "KelvaneSetup-1-0").c_str()) &&
                SealPrivateDirectory((dir / "KelvaneSetup-1-0").c_str()));
    std::string system = WellKnownSid(WinLocalSystemSid), admins = WellKnownSid(WinBuiltinAdministratorsSid);
    ACL* dacl = const_cast<ACL*>(GetSealedDacl());
    // Owned by SYSTEM: the owner's implicit rights stay out of the check.
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(IsValidAcl(dacl) && InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorOwner(&descriptor, &system[0], FALSE) &&
                SetSecurityDescriptorGroup(&descriptor, &system[0], FALSE) &&
                SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE));
    HANDLE process = nullptr, own = nullptr, unelevated = nullptr;
    SID_AND_ATTRIBUTES denyOnly = {&admins[0], 0};
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process) &&
                DuplicateTokenEx(process, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                 TokenImpersonation, &own) &&
                CreateRestrictedToken(own, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &unelevated));
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    const std::pair<HANDLE, DWORD> cases[] = {
        {unelevated, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | DELETE},
        {own, FILE_ALL_ACCESS},
    };
    for (const auto& [token, expected] : cases) {
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges, granted = 0;
        BOOL allowed = FALSE;
        ASSERT_TRUE(AccessCheck(&descriptor, token, MAXIMUM_ALLOWED, &mapping, &privileges, &privilegesSize,
                                &granted, &allowed));
        EXPECT_EQ(expected, granted) << std::hex << "granted 0x" << granted;
    }
    bool ownerRightsLimited = false;
    ACCESS_ALLOWED_ACE* ace = nullptr;
    for (DWORD k = 0; k < dacl->AceCount && GetAce(dacl, k, reinterpret_cast<void**>(&ace)); ++k) {
        ownerRightsLimited =
            ownerRightsLimited || (SidBytes(&ace->SidStart) == WellKnownSid(WinCreatorOwnerRightsSid) &&
                                   (ace->Mask & ~(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE)) == 0);
    }
    EXPECT_TRUE(ownerRightsLimited) << "no OWNER RIGHTS entry that keeps the owner from re-granting";
}

// Held from its writing; the shell start, which installs reach only on Windows, starts it too.
TEST_F(InstallerTest, HeldSetupProgramCannotBeChangedButStartsBothWays) {
    const std::string program = dir / "Setup.exe";
    WriteFileBytes(release, "");
    ProgramProcess started = 0;
    EXPECT_EQ(StartResult::Failed, StartProgram(program.c_str(), dir.path().c_str(), started));
    EXPECT_EQ(StartResult::Failed,
              ShellExecuteProgram(program.c_str(), dir.path().c_str(), nullptr, started));
    CFileStream writer, held;
    ASSERT_TRUE(writer.Open(program.c_str(), CFileStream::modeWrite) &&
                writer.Write(setup.data(), setup.size()));
    ASSERT_TRUE(writer.CloseAndHold(held) && held.IsOpen());
    EXPECT_FALSE(DeleteFileA(program.c_str()));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(program.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    for (const bool throughShell : {false, true}) {
        DWORD exitCode = 0;
        ASSERT_EQ(StartResult::Started,
                  throughShell ? ShellExecuteProgram(program.c_str(), dir.path().c_str(), nullptr, started)
                               : StartProgram(program.c_str(), dir.path().c_str(), started));
        ASSERT_TRUE(WaitForProgram(started, exitCode));
        EXPECT_EQ(42u, exitCode);
    }
    const std::vector<std::string> directories = ReadStandinRecord(record)["directory"];
    ASSERT_EQ(2u, directories.size());
    EXPECT_TRUE(SamePath(dir.path(), directories[1])) << "the shell starts it in its folder too";
}

} // namespace
