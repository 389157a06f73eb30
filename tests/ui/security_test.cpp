// tests/ui/security_test.cpp: the installer under Wine as an attacker or an unlucky user
// meets it: signed installers changed in every way that keeps them loadable, a command
// line naming another file, an installer renamed and replaced as it starts, an installer
// held by another program, the run's folder and its permissions, files held during the
// clean-up, DLLs planted where the stub looks.
#include <aclapi.h>
#include <zlib.h>

#include <filesystem>

#include "engine/bounds.h"
#include "engine/install.h"
#include "platform/system/filesystem.h"
#include "tests/ui/installer_fixture.h"

namespace {

constexpr char DamagedText[] = "download the installer again";

uint32_t ReadLittleEndianAt(const std::string& bytes, size_t at) {
    return ReadLittleEndian(reinterpret_cast<const unsigned char*>(bytes.data() + at), 4);
}

class SecurityTest : public InstallerTest {
  protected:
    // Starts the image and clicks Install; when a message box is expected, answers it.
    // The exit status and the box's text.
    std::pair<long, std::string> Install(const std::string& image, bool box) {
        Launch(image);
        ClickControl(dialog, IDOK);
        std::string text;
        if (box) {
            HWND found = process.WaitForWindow(InstallerCaption, dialog);
            text = found != nullptr ? ControlText(found, MessageTextId) : "no message box";
            PressKey(found, VK_RETURN);
        }
        return {process.WaitForExit(), text};
    }

    // The folder the stand-in runs in, once it has written its record.
    std::string RunFolder() {
        EXPECT_TRUE(WaitUntil([&] { return FileExists(record); }));
        const StandinRecord setup = ReadStandinRecord(record);
        return setup.count("directory") != 0 ? setup.at("directory")[0] : std::string();
    }
};

// The signature table: each way a signed installer can be changed and still load, and
// what the stub does. Only a file that is as signed (or no longer claims a signature at
// all, which Windows shows as coming from an unknown publisher) runs its setup program.
TEST_F(SecurityTest, SignedInstallerChangedAnyWayRunsNothingAndEndsWith1620) {
    const std::string good = ReadFileBytes(Signed("case-1\\installer.exe"));
    const size_t entry = SecurityEntryOffset(good);
    const uint32_t table = ReadLittleEndianAt(good, entry), size = ReadLittleEndianAt(good, entry + 4);
    ASSERT_EQ(good.size(), size_t{table} + size);
    // The optional header's checksum, which the digest leaves out.
    const size_t checksum = ReadLittleEndianAt(good, 0x3C) + 24 + 64;
    auto Directory = [&](uint32_t offset, uint32_t length) {
        return Changed(good, entry, LittleEndian(offset) + LittleEndian(length));
    };
    auto Flip = [&](size_t at) { return Changed(good, at, std::string(1, char(good[at] ^ 0x20))); };
    struct Case {
        const char* name;
        std::string image;
        long status; // 42: the setup program ran
    } cases[] = {
        {"intact", good, 42},
        {"a payload bit", Flip(stub.size() + 5000), ExitPackageInvalid},
        {"a stub byte", Flip(0x4E), ExitPackageInvalid}, // the DOS stub's text
        {"a byte appended", good + "x", ExitPackageInvalid},
        {"certificate type", Changed(good, table + 6, {'\1', '\0'}), ExitPackageInvalid},
        {"revision", Changed(good, table + 4, {'\0', '\1'}), ExitPackageInvalid},
        {"first PKCS#7 byte", Flip(table + 8), ExitPackageInvalid},
        {"dwLength too big", Changed(good, table, LittleEndian(size + 1)), ExitPackageInvalid},
        {"dwLength 8", Changed(good, table, LittleEndian(8)), ExitPackageInvalid},
        {"directory past the end", Directory(table + 8, size), ExitPackageInvalid},
        {"directory into the payload", Directory(table - 1000, size), ExitPackageInvalid},
        {"directory size short", Directory(table, size - 8), ExitPackageInvalid},
        {"directory size 0", Directory(table, 0), ExitPackageInvalid},
        {"directory offset 0", Directory(0, size), ExitPackageInvalid},
        {"table cut by 10", good.substr(0, good.size() - 10), ExitPackageInvalid},
        {"checksum changed", Flip(checksum), 42},
        {"signature stripped", Directory(0, 0).substr(0, table - 1), 42}, // and its padding byte
        // The directories counted short of the security entry, the payload changed, its
        // CRC-32 sealed anew and the table cut off: the entry's bytes still claim a
        // signature.
        {"directory count 4",
         WithSealedDigest(Changed(Flip(stub.size() + 5000), entry - 36, LittleEndian(4)).substr(0, table - 1),
                          stub.size()),
         ExitPackageInvalid},
    };
    WriteFileBytes(release, "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [status, text] = Install(c.image, c.status != 42);
        EXPECT_EQ(c.status, status);
        if (c.status == 42) {
            EXPECT_TRUE(FileExists(record)) << "the setup program should have run";
        } else {
            EXPECT_NE(std::string::npos, text.find(DamagedText)) << text;
            EXPECT_FALSE(FileExists(record)) << "a setup program was started";
        }
        EXPECT_TRUE(ListDirectory(temp).empty()) << "nothing may be left, or written before the check";
        DeleteFileA(record.c_str());
    }
}

// Started with a command line that names another installer as the program, or names no
// program at all, it shows and installs its own payload. From its start to its end,
// another program can neither write nor delete it.
TEST_F(SecurityTest, UnpacksOnlyItselfWhateverItsCommandLineAndHoldsItsFile) {
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
    for (const std::string& commandLine : {"\"" + other + "\"", std::string("/S")}) {
        SCOPED_TRACE(commandLine);
        ASSERT_TRUE(process.Start(commandLine, dir.path(), false, installer));
        dialog = process.WaitForWindow(InstallerCaption);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ("Kelvane Studio" + std::string(26, ' '), ControlText(dialog, IDC_PRODUCT));
        EXPECT_TRUE(CannotChange()) << "in Ready";
        ClickControl(dialog, IDOK);
        const std::string folder = RunFolder();
        EXPECT_EQ(Payload()[1], ReadFileBytes(folder + "\\Setup.jar"));
        EXPECT_TRUE(CannotChange()) << "while the setup program runs";
        WriteFileBytes(release, "");
        EXPECT_EQ(42, process.WaitForExit());
        DeleteFileA(release.c_str());
        DeleteFileA(record.c_str());
    }
}

// Renamed while it starts, before it opens its own file, and another installer put under
// its name: the same stub with another payload, whose last four bytes make its CRC-32
// the one the original's seal records, so that only the file's identity tells them
// apart. The installer refuses before any window, with a message and status of its own,
// and runs nothing; under a hard link to itself it is the same file and installs.
TEST_F(SecurityTest, InstallerRenamedAndReplacedBeforeItOpensItselfRunsNothing) {
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
            // No window of its own: the box is the first thing shown.
            const std::string text = ControlText(dialog, MessageTextId);
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
TEST_F(SecurityTest, InstallerHeldByAnotherProgramIsWaitedForThenNamedInUse) {
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

// The run's folder: its DACL read back names only the user, SYSTEM and the
// Administrators. Under Wine the DACL becomes the folder's Unix mode; a run with
// SFX_KEPT_TEMP set leaves its folder there for the mode check from Linux
// (tests/ui/CMakeLists.txt). Run with the user's limited token: an elevated run seals
// the folder before the start, which Wine maps to another mode.
TEST_F(SecurityTest, RunFolderBelongsToItsUserAlone) {
    limited = true;
    const std::string kept = Built("SFX_KEPT_TEMP");
    if (!kept.empty()) {
        temp = kept;
        std::filesystem::remove_all(temp);
        ASSERT_TRUE(MakeDirectory(temp));
        SetVariable("TEMP", temp);
        SetVariable("SFX_STANDIN_LEAVE", "1");
    }
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
    WriteFileBytes(release, "");
    EXPECT_EQ(42, process.WaitForExit());
}

// The seal before an elevated start (SealPrivateDirectory), through Windows' own call, on
// a run's folder with its entries. What it wrote, asked of AccessCheck for the user
// without administrator rights in force (the Administrators deny-only, as in the
// unelevated token), grants reading, running and deleting, and no right to add, write,
// rename into, re-grant or take over; an administrator keeps full control, and OWNER
// RIGHTS takes the owner's implicit re-granting. The clean-up afterwards still deletes
// everything. Wine keeps no DACL to read back (GetNamedSecurityInfo returns one made from
// the Unix permissions), grants an owner WRITE_DAC whatever OWNER RIGHTS says and hands
// nothing down to the entries: those, and real access, only Windows shows.
TEST_F(SecurityTest, SealedRunFolderLetsItsUserOnlyReadRunAndDelete) {
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
TEST_F(SecurityTest, CleanUpWaitsForABrieflyHeldFileButNotForever) {
    for (const DWORD heldMs : {1000, 60000}) {
        SCOPED_TRACE(heldMs);
        Launch(Installer(Payload()));
        ClickControl(dialog, IDOK);
        const std::string held = RunFolder() + "\\Setup.jar";
        HANDLE holder =
            CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        WriteFileBytes(release, "");
        if (heldMs < 2000) {
            Sleep(heldMs);
            CloseHandle(holder);
            EXPECT_EQ(42, process.WaitForExit());
            EXPECT_TRUE(ListDirectory(temp).empty());
        } else {
            EXPECT_EQ(42, process.WaitForExit(10000)) << "the clean-up waits a few seconds at most";
            CloseHandle(holder);
            EXPECT_TRUE(FileExists(held));
            std::filesystem::remove_all(std::filesystem::u8path(temp));
            MakeDirectory(temp);
        }
        DeleteFileA(release.c_str());
        DeleteFileA(record.c_str());
    }
}

// Every library the stub loads at run time, and wintrust's own dependencies, planted
// beside a signed installer (its working directory too) and, while the setup program
// runs, in the run's folder, with Wine told to prefer such files: a whole install with
// About before and during it loads none of them.
TEST_F(SecurityTest, SignedInstallThroughAboutLoadsNoPlantedDll) {
    const std::vector<std::string> planted = {"comctl32", "uxtheme", "shell32", "shlwapi",
                                              "wintrust", "crypt32", "msasn1",  "imagehlp",
                                              "cryptnet", "cryptui", "bcrypt"};
    auto Plant = [&](const std::string& folder) {
        for (const std::string& name : planted) {
            ASSERT_TRUE(
                CopyFileA(Built("SFX_PLANTED_DLL").c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE));
        }
    };
    Plant(dir.path());
    OverrideDlls(planted, "native,builtin");
    Launch(ReadFileBytes(Signed("case-1\\installer.exe")));
    ClickControl(dialog, IDC_ABOUT);
    CloseAbout(IDOK);
    ClickControl(dialog, IDOK);
    const std::string folder = RunFolder();
    Plant(folder);
    PostMessageA(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    CloseAbout(IDOK);
    WriteFileBytes(release, "");
    EXPECT_EQ(42, process.WaitForExit());
    for (const std::string& where : {dir.path(), folder}) {
        for (const std::string& name : planted) {
            EXPECT_FALSE(FileExists(where + "\\" + name + ".dll.loaded"))
                << name << " was loaded from " << where;
        }
    }
}

} // namespace
