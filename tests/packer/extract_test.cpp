// tests/packer/extract_test.cpp: "sfxpack extract" never loses a file the user had: it
// refuses to write over the installer however it is named, and after any failure every
// file in the target directory is as it was. Natively and, for Windows' renames, under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/payload.h"
#include "tests/support.h"
#include "tools/sfxpack/unpack.h"
#ifdef _WIN32
#include "platform/wintypes.h"
#endif

namespace {

// Every name in a directory with the contents of the files among them.
std::vector<std::string> Snapshot(const std::string& directory) {
    std::vector<std::string> names = ListDirectory(directory);
    for (std::string& name : names) {
        const std::string path = directory + "/" + name;
        name += std::filesystem::is_regular_file(std::filesystem::u8path(path)) ? ": " + ReadFileBytes(path)
                                                                                : "/";
    }
    return names;
}

TEST(Extract, LeavesTheTargetAsItWasAfterAnyFailure) {
    ScratchDir dir;
    const std::string out = dir / "out";
    const std::vector<std::string> entries = {"setup", "jar", "aux", "cls", "f", "r"};
    const std::string image = BuildInstaller(WriteSealedStub(dir / "stub.exe", 2000), "Title", entries);
    WriteFileBytes(dir / "kit.exe", image);
    ASSERT_TRUE(MakeDirectory(out));
    const std::vector<std::string> mine = {"Setup.exe", "Setup.jar", "setup.aux", "knxr.dat"};
    for (const std::string& name : mine) {
        WriteFileBytes(out + "/" + name, "mine: " + name);
    }
    struct Case {
        const char* name;
        std::string installer;
        int status;
        std::string message;
        std::function<void()> arrange; // and undone by the next case's
    } cases[] = {
        {"the installer in the target", out + "/Setup.exe", ExitBadInput, "is the installer",
         [&] { WriteFileBytes(out + "/Setup.exe", image); }},
        {"a directory under an entry's name", dir / "kit.exe", ExitIoError, "setup.cls: is a directory",
         [&] {
             WriteFileBytes(out + "/Setup.exe", "mine: Setup.exe");
             MakeDirectory(out + "/setup.cls");
         }},
    };
    CTerminalProgress progress(false);
    std::string warning;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const std::vector<std::string> before = Snapshot(out);
        CommandResult result = ExtractInstaller({c.installer, -1, out, false}, progress, warning);
        EXPECT_EQ(c.status, result.status);
        EXPECT_NE(std::string::npos, result.message.find(c.message)) << result.message;
        EXPECT_EQ(before, Snapshot(out));
    }
    std::filesystem::remove(out + "/setup.cls");
#ifdef _WIN32
    // Another program holds the fifth name without letting it be renamed: the four names
    // before it were already placed, and each gets its own file back, or its absence.
    WriteFileBytes(out + "/Setup.exe", "mine: Setup.exe");
    WriteFileBytes(out + "/knxf.dat", "held");
    const std::vector<std::string> before = Snapshot(out);
    HANDLE held = CreateFileA((out + "/knxf.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CommandResult result = ExtractInstaller({dir / "kit.exe", -1, out, false}, progress, warning);
    CloseHandle(held);
    EXPECT_EQ(ExitIoError, result.status);
    EXPECT_NE(std::string::npos, result.message.find("knxf.dat")) << result.message;
    EXPECT_EQ(before, Snapshot(out));
    // A read-only file is replaced like any other, and leaves nothing behind.
    ASSERT_TRUE(SetFileAttributesA((out + "/setup.aux").c_str(), FILE_ATTRIBUTE_READONLY));
#endif
    // And once nothing stands in the way, every name gets its entry.
    ASSERT_FALSE(ExtractInstaller({dir / "kit.exe", -1, out, false}, progress, warning).Failed());
    EXPECT_EQ(entries[3], ReadFileBytes(out + "/setup.cls"));
    EXPECT_EQ(entries[5], ReadFileBytes(out + "/knxr.dat"));
    EXPECT_EQ(6u, ListDirectory(out).size()) << "the staging directory is gone";
}

// One bit flipped in an installer whose seal records its digest, in the title, early in an
// entry of megabytes (the second thread's part) and at its end (the part taken over at the
// end), or in the last entry: refused on every copy road, nothing left; whole, extracted.
TEST(Extract, RefusesAFlippedBitOnEveryRoad) {
    ScratchDir dir;
    const size_t stub = 1001, data = stub + TitleFieldLength + LengthFieldDigits;
    const std::vector<std::string> entries = {
        PatternBytes(3 << 20 | 5, 1), "", PatternBytes(333, 2), "", "", "x"};
    const std::string sealed = WithSealedDigest(
        BuildInstaller(Changed(PatternBytes(stub, 3), 10, SealBlock(stub, true)), "Title", entries), stub);
    CTerminalProgress progress(false);
    std::string warning;
    for (size_t road = 0; road < CopyRoadCount; ++road) {
        for (size_t at : {stub + 5, data + 7, data + (3 << 20), sealed.size() - 1, size_t{0}}) {
            SCOPED_TRACE("road " + std::to_string(road) + ", flipped at " + std::to_string(at));
            WriteFileBytes(dir / "kit.exe", at == 0 ? sealed : FlipBit(sealed, at, 3));
            CCopyRoad copyRoad(road);
            const CommandResult result =
                ExtractInstaller({dir / "kit.exe", -1, dir / "out", false}, progress, warning);
            if (at != 0) {
                EXPECT_EQ(ExitBadInput, result.status);
                EXPECT_NE(std::string::npos, result.message.find("CRC-32")) << result.message;
                EXPECT_FALSE(FileExists(dir / "out"));
                continue;
            }
            ASSERT_FALSE(result.Failed()) << result.message;
            EXPECT_EQ(entries[0], ReadFileBytes(dir / "out/Setup.exe"));
            std::filesystem::remove_all(dir / "out");
        }
    }
}

} // namespace
