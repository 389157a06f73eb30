// tools/sfxpack/sysfile.cpp: the parts of sfxpack's file layer that are the same on
// every system.
#include "tools/sfxpack/sysfile.h"

#include <vector>

namespace {

constexpr size_t CopyBufferSize = 1u << 20;

} // namespace

size_t CSysFile::Read(void* buffer, size_t count) {
    size_t done = 0;
    for (long got = 1; done < count && got > 0; done += got > 0 ? static_cast<size_t>(got) : 0) {
        got = ReadSome(static_cast<char*>(buffer) + done, count - done);
    }
    return done;
}

bool CSysFile::Write(const void* data, size_t count) {
    for (size_t done = 0; done < count;) {
        long written = WriteSome(static_cast<const char*>(data) + done, count - done);
        if (written < 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

bool CSysFile::CopyByBlocks(CSysFile& source, int64_t length) {
    std::vector<unsigned char> buffer(CopyBufferSize);
    while (length > 0) {
        size_t block =
            length < static_cast<int64_t>(buffer.size()) ? static_cast<size_t>(length) : buffer.size();
        if (source.Read(buffer.data(), block) != block || !Write(buffer.data(), block)) {
            return false;
        }
        length -= static_cast<int64_t>(block);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory.back() == '/' || directory.back() == '\\') {
        return directory + name;
    }
    return directory + "/" + name;
}

bool IsSameFile(const FileInfo& a, const FileInfo& b) { return a.device == b.device && a.index == b.index; }
