// fuzz/fuzz_support.cpp: scratch files and checks for the fuzz targets.
#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

const std::string& FuzzScratchDirectory() {
    static std::string directory;
    if (directory.empty()) {
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/sfx-fuzz-XXXXXX" : "/tmp/sfx-fuzz-XXXXXX";
        Require(mkdtemp(&pattern[0]) != nullptr, "a scratch directory can be made");
        directory = pattern;
    }
    return directory;
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    Require(file != nullptr, "the input file can be written");
    Require(fwrite(data, 1, size, file) == size, "the input file takes all bytes");
    fclose(file);
}

std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    fclose(file);
    return bytes;
}

std::vector<std::string> ListNames(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    closedir(dir);
    return names;
}

int32_t FuzzStubLength(const uint8_t* data, size_t size) { return size > 0 ? data[0] & 0x3F : 0; }

void Require(bool holds, const char* property) {
    if (!holds) {
        fprintf(stderr, "property violated: %s\n", property);
        abort();
    }
}
