// tests/seal_test.cpp: finding the seal in a file and storing the stub's length in it.
#include <gtest/gtest.h>

#include "engine/seal.h"
#include "tests/support.h"
#include "tools/sfxpack/seal.h"

namespace {

std::string SealBlock(int32_t length) {
    std::string block(StubSealMarker, StubSealMarkerLength);
    for (int shift = 0; shift < 32; shift += 8) {
        block += static_cast<char>((static_cast<uint32_t>(length) >> shift) & 0xFF);
    }
    return block;
}

TEST(Seal, StoresTheFileLengthWhereverTheMarkerLies) {
    // Around the 64 KiB scan chunk border, and at the very start and end.
    for (size_t at : {size_t{0}, size_t{65536 - 7}, size_t{65536}, size_t{200000 - 16}}) {
        ScratchDir dir;
        std::string image = PatternBytes(200000, 1);
        image.replace(at, 16, SealBlock(UnsealedStubLength));
        WriteFileBytes(dir / "stub.exe", image);

        int32_t length = 0;
        ASSERT_EQ(SealStatus::Sealed, SealStubFile((dir / "stub.exe").c_str(), &length)) << at;
        EXPECT_EQ(200000, length);
        std::string sealed = ReadFileBytes(dir / "stub.exe");
        EXPECT_EQ(SealBlock(200000), sealed.substr(at, 16)) << at;
        EXPECT_EQ(image.substr(0, at), sealed.substr(0, at));

        int32_t stored = 0;
        int64_t fileLength = 0;
        EXPECT_EQ(SealStatus::Sealed, CheckStubSeal((dir / "stub.exe").c_str(), &stored, &fileLength));
        EXPECT_EQ(stored, fileLength);
    }
}

TEST(Seal, RefusesFilesWithoutOrWithSeveralMarkers) {
    ScratchDir dir;
    int32_t length = 0;
    WriteFileBytes(dir / "plain.exe", PatternBytes(5000, 2));
    EXPECT_EQ(SealStatus::NoMarker, SealStubFile((dir / "plain.exe").c_str(), &length));

    std::string twice = PatternBytes(100, 3) + SealBlock(0) + PatternBytes(100, 4) + SealBlock(0);
    WriteFileBytes(dir / "twice.exe", twice);
    EXPECT_EQ(SealStatus::SeveralMarkers, SealStubFile((dir / "twice.exe").c_str(), &length));
    EXPECT_EQ(twice, ReadFileBytes(dir / "twice.exe")) << "a refused stub stays as it was";

    EXPECT_EQ(SealStatus::IoError, SealStubFile((dir / "missing.exe").c_str(), &length));
}

TEST(Seal, TheFirstMarkerOfAnInstallerIsTheStubs) {
    ScratchDir dir;
    // A payload may carry another stub; the scan stops at the first marker.
    std::string image = PatternBytes(300, 5) + SealBlock(332) + SealBlock(999);
    WriteFileBytes(dir / "installer.exe", image);
    CFileStream file;
    ASSERT_TRUE(file.Open((dir / "installer.exe").c_str(), CFileStream::modeRead));
    SealScan scan;
    ASSERT_TRUE(ScanForSeal(file, true, scan));
    EXPECT_EQ(1, scan.markers);
    EXPECT_EQ(300, scan.offset);
    EXPECT_EQ(332, scan.storedLength);
}

} // namespace
