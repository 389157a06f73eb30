// tests/packer/extract_test.cpp: "sfxpack extract" never loses a file the user had: after any
// failure the target is as it was. Natively and, for Windows' renames, under Wine.
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

TEST(Extract, LeavesTheTargetAsItWasAfterAnyFailure) {
    ScratchDir dir;
    const std::string out = dir / "out";
    const std::vector<std::string> entries = {"setup", "jar", "aux", "cls", "f", "r"};
    const std::string image = BuildInstaller(WriteSealedStub(dir / "stub.exe", 2000), "Title", entries);
    WriteFileBytes(dir / "kit.exe", image);
    ASSERT_TRUE(MakeDirectory(out));
    for (const char* name : {"Setup.exe", "Setup.jar", "setup.aux", "knxr.dat"}) {
        WriteFileBytes(out + "/" + name, std::string("mine: ") + name);
    }
    const std::tuple<std::string, int, std::string, std::function<void()>> cases[] = {
        {out + "/Setup.exe", ExitBadInput, "is the installer",
         [&] { WriteFileBytes(out + "/Setup.exe", image); }},
        {dir / "kit.exe", ExitIoError, "setup.cls: is a directory",
         [&] {
             WriteFileBytes(out + "/Setup.exe", "mine: Setup.exe");
             MakeDirectory(out + "/setup.cls");
         }},
    };
    CTerminalProgress progress(false);
    std::string warning;
    for (const auto& [installer, status, message, arrange] : cases) {
        arrange(); // undone by the next row's
        const Files before = ReadDirectory(out);
        CommandResult result = ExtractInstaller({installer, -1, out, false}, progress, warning);
        EXPECT_EQ(status, result.status);
        EXPECT_NE(std::string::npos, result.message.find(message)) << result.message;
        EXPECT_EQ(before, ReadDirectory(out)) << message;
    }
    std::filesystem::remove(out + "/setup.cls");
#ifdef _WIN32
    // Another program holds the fifth name without letting it be renamed: the four names
    // before it were already placed, and each gets its own file back, or its absence.
    WriteFileBytes(out + "/Setup.exe", "mine: Setup.exe");
    WriteFileBytes(out + "/knxf.dat", "held");
    const Files before = ReadDirectory(out);
    HANDLE held = CreateFileA((out + "/knxf.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CommandResult result = ExtractInstaller({dir / "kit.exe", -1, out, false}, progress, warning);
    CloseHandle(held);
    EXPECT_EQ(ExitIoError, result.status);
    EXPECT_NE(std::string::npos, result.message.find("knxf.dat")) << result.message;
    EXPECT_EQ(before, ReadDirectory(out));
    // A read-only file is replaced like any other.
    ASSERT_TRUE(SetFileAttributesA((out + "/setup.aux").c_str(), FILE_ATTRIBUTE_READONLY));
#endif
    // Once nothing stands in the way, every name holds its entry and the staging directory is gone.
    ASSERT_FALSE(ExtractInstaller({dir / "kit.exe", -1, out, false}, progress, warning).Failed());
    EXPECT_EQ(EntryFiles(entries), ReadDirectory(out));
}

} // namespace
