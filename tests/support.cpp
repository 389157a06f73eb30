// tests/support.cpp: without GoogleTest, which the fuzz targets do not link.
#include "tests/support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <zlib.h>

#include "engine/payload.h"
#include "engine/seal.h"

#ifndef _WIN32
#include <sched.h>

#include "platform/system/posix/copy_limit.h"
#endif

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    // Tests run in processes of their own at the same time: each has its own seed.
    static std::mt19937 generator{std::random_device{}()};
    std::error_code error;
    fs::path candidate;
    do {
        candidate = fs::temp_directory_path() / ("sfx-test-" + std::to_string(generator()));
    } while (!fs::create_directory(candidate, error));
    m_path = candidate.u8string();
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(fs::u8path(m_path), ignored);
}

std::string ScratchDir::operator/(const std::string& name) const {
    return (fs::u8path(m_path) / fs::u8path(name)).u8string();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool OpenProgram(const std::string& path, ProgramFile& program) {
    if (!program.stream.Open(path.c_str(), CFileStream::modeRead)) {
        return false;
    }
    program.bounds = FindPayloadBounds(program.stream);
    return true;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return fs::exists(fs::u8path(path)); }

bool MakeDirectory(const std::string& path) { return fs::create_directory(fs::u8path(path)); }

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(path), error)) {
        names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Files ReadDirectory(const std::string& path) {
    Files files;
    for (const std::string& name : ListDirectory(path)) {
        const std::string file = path + "/" + name;
        files[name] = fs::is_directory(fs::u8path(file)) ? "" : ReadFileBytes(file);
    }
    return files;
}

std::string PatternBytes(size_t count, unsigned seed) {
    std::string bytes(count, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string LengthField(int32_t length) {
    // Not sfxpack's writer, so that a fault there shows against this.
    std::string field(10, '\0');
    uint32_t rest = static_cast<uint32_t>(length);
    for (int k = 9; k >= 0; --k, rest /= 10) {
        field[k] = static_cast<char>(10 + rest % 10);
    }
    return field;
}

std::string BuildInstaller(size_t stubLength, const std::string& title,
                           const std::vector<std::string>& entries) {
    return BuildInstaller(PatternBytes(stubLength, 7), title, entries);
}

std::string BuildInstaller(const std::string& stub, const std::string& title,
                           const std::vector<std::string>& entries) {
    std::string image = stub + title.substr(0, TitleFieldLength);
    image.resize(stub.size() + TitleFieldLength, ' ');
    for (const std::string& entry : entries) {
        image += LengthField(static_cast<int32_t>(entry.size()));
        image += entry;
    }
    return image;
}

namespace {

constexpr size_t PeHeaderAt = 0x80;
constexpr size_t OptionalHeaderAt = PeHeaderAt + 4 + 20;
constexpr size_t DirectoryCount = 16;

void PutLittleEndian(std::string& image, size_t at, uint32_t value, size_t bytes) {
    image.replace(at, bytes, LittleEndian(value), 0, bytes);
}

} // namespace

std::string PeStub(size_t length, bool pe32Plus) {
    std::string image = PatternBytes(length, 11);
    const size_t directories = pe32Plus ? 112 : 96;
    image.replace(0, 2, "MZ");
    PutLittleEndian(image, 0x3C, PeHeaderAt, 4);
    image.replace(PeHeaderAt, 4, std::string("PE\0\0", 4));
    PutLittleEndian(image, PeHeaderAt + 4 + 16, static_cast<uint32_t>(directories + DirectoryCount * 8), 2);
    PutLittleEndian(image, OptionalHeaderAt, pe32Plus ? 0x20B : 0x10B, 2);
    PutLittleEndian(image, OptionalHeaderAt + directories - 4, DirectoryCount, 4);
    image.replace(OptionalHeaderAt + directories, DirectoryCount * 8, std::string(DirectoryCount * 8, '\0'));
    return image;
}

size_t SecurityEntryOffset(const std::string& peImage) {
    return OptionalHeaderAt + (peImage[OptionalHeaderAt + 1] == 2 ? 112 : 96) + 4 * 8;
}

void AppendCertificateTable(std::string& peImage, uint32_t tableSize) {
    peImage.resize((peImage.size() + 7) / 8 * 8, '\0');
    const size_t entry = SecurityEntryOffset(peImage);
    PutLittleEndian(peImage, entry, static_cast<uint32_t>(peImage.size()), 4);
    PutLittleEndian(peImage, entry + 4, tableSize, 4);
    // WIN_CERTIFICATE: its length, revision 2.0, PKCS_SIGNED_DATA.
    peImage += LittleEndian(tableSize) + LittleEndian(0x00020200) + PatternBytes(tableSize - 8, 13);
}

std::string LittleEndian(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

std::string SealBlock(uint32_t length, bool digestRoom) {
    return std::string(StubSealMarker, StubSealMarkerLength) + LittleEndian(length) +
           (digestRoom ? LittleEndian(SealHasNoDigest) + LittleEndian(0) : "");
}

std::string WriteSealedStub(const std::string& path, size_t size, bool peHeader, bool digestRoom) {
    const std::string stub = Changed(peHeader ? PeStub(size, true) : PatternBytes(size, 99), size * 2 / 3,
                                     SealBlock(static_cast<uint32_t>(size), digestRoom));
    WriteFileBytes(path, stub);
    return stub;
}

std::string WithSealedDigest(std::string image, size_t stubLength) {
    const uint32_t digest = static_cast<uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(image.data() + stubLength), image.size() - stubLength));
    const size_t seal = image.find(std::string(StubSealMarker, StubSealMarkerLength));
    return Changed(image, seal + SealDigestOffset, LittleEndian(SealHasCrc32) + LittleEndian(digest));
}

uint32_t SumWords(const std::string& bytes) {
    uint32_t sum = 0;
    for (size_t k = 0; k < bytes.size(); k += 2) {
        sum += static_cast<unsigned char>(bytes[k]);
        sum += k + 1 < bytes.size() ? static_cast<unsigned char>(bytes[k + 1]) << 8 : 0;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum;
}

std::string WithPeChecksum(std::string peImage) {
    const size_t field = OptionalHeaderAt + 64;
    peImage.replace(field, 4, 4, '\0');
    return Changed(peImage, field, LittleEndian(SumWords(peImage) + static_cast<uint32_t>(peImage.size())));
}

std::string FlipBit(std::string bytes, size_t at, int bit) {
    bytes.at(at) = static_cast<char>(bytes.at(at) ^ (1 << bit));
    return bytes;
}

Files EntryFiles(const std::vector<std::string>& entries) {
    Files files;
    for (size_t k = 0; k < entries.size(); ++k) {
        files[PayloadEntryTable[k] + 1] = entries[k];
    }
    return files;
}

#ifdef _WIN32
CCopyRoad::CCopyRoad(size_t) {}

CCopyRoad::~CCopyRoad() {}
#else
namespace {

cpu_set_t g_allowed; // the processors before the one-processor road

} // namespace

CCopyRoad::CCopyRoad(size_t road) {
    road %= CopyRoadCount;
    PosixLimitKernelCopy(road == 1 ? 0 : road == 2 ? 1000 : -1);
    sched_getaffinity(0, sizeof g_allowed, &g_allowed);
    if (road == 3) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        sched_setaffinity(0, sizeof one, &one);
    }
}

CCopyRoad::~CCopyRoad() {
    PosixLimitKernelCopy(-1);
    sched_setaffinity(0, sizeof g_allowed, &g_allowed);
}
#endif
