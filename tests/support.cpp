// tests/support.cpp: the backend-independent helpers of tests/support.h.
#include "tests/support.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/payload.h"

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static unsigned counter = 0;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("sfx-test-" + std::to_string(rand()) + "-" + std::to_string(++counter));
        if (fs::create_directory(candidate)) {
            m_path = candidate.string();
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string ScratchDir::operator/(const std::string& name) const {
    return (fs::path(m_path) / name).string();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return fs::exists(path); }

bool MakeDirectory(const std::string& path) { return fs::create_directory(path); }

void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    _putenv((std::string(name) + "=" + value).c_str());
#else
    setenv(name, value, 1);
#endif
}

void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv((std::string(name) + "=").c_str());
#else
    unsetenv(name);
#endif
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
    unsigned char field[LengthFieldDigits];
    EncodeEntryLength(length, field);
    return std::string(reinterpret_cast<const char*>(field), LengthFieldDigits);
}

std::string BuildInstaller(size_t stubLength, const std::string& title,
                           const std::vector<std::string>& entries) {
    std::string image = PatternBytes(stubLength, 7);
    std::string field = title.substr(0, TitleFieldLength);
    field.resize(TitleFieldLength, ' ');
    image += field;
    for (const std::string& entry : entries) {
        image += LengthField(static_cast<int32_t>(entry.size()));
        image += entry;
    }
    return image;
}

std::vector<int> RecordingWindow::positions() const {
    std::vector<int> result;
    for (const RecordedMessage& message : messages()) {
        if (message.message == PBM_SETPOS) {
            result.push_back(static_cast<int>(message.wParam));
        }
    }
    return result;
}
