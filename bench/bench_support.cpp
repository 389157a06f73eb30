// bench/bench_support.cpp: the shared parts of the benchmarks.
#include "bench/bench_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <vector>

const size_t BenchEntrySizes[PayloadEntryCount] = {
    96u << 20, 64u << 20, 40u << 20, 24u << 20, 16u << 20, 12u << 20, 4u << 20,
};

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string MakeWorkDirectory(const char* name) {
    const char* tmp = getenv("TMPDIR");
    std::string work = std::string(tmp != nullptr ? tmp : "/tmp") + "/" + name + "-XXXXXX";
    if (mkdtemp(&work[0]) == nullptr) {
        perror("mkdtemp");
        exit(1);
    }
    return work;
}

void RunShell(const std::string& command) {
    if (system(command.c_str()) != 0) {
        fprintf(stderr, "benchmark: '%s' failed\n", command.c_str());
        exit(1);
    }
}

void WriteEntryFiles(const std::string& directory) {
    std::vector<uint32_t> chunk((1u << 20) / sizeof(uint32_t));
    for (int k = 0; k < PayloadEntryCount; ++k) {
        FILE* file = fopen((directory + "/" + (PayloadEntryTable[k] + 1)).c_str(), "wb");
        uint32_t seed = 1000u + static_cast<uint32_t>(k);
        for (size_t done = 0; done < BenchEntrySizes[k]; done += chunk.size() * sizeof(uint32_t)) {
            for (uint32_t& word : chunk) {
                seed = seed * 1103515245u + 12345u;
                word = seed;
            }
            fwrite(chunk.data(), sizeof(uint32_t), chunk.size(), file);
        }
        fclose(file);
    }
}

void ExpectSameEntries(const std::string& original, const std::string& copy) {
    for (int k = 0; k < PayloadEntryCount; ++k) {
        std::string name = PayloadEntryTable[k] + 1; // without the backslash
        RunShell("cmp -s '" + original + "/" + name + "' '" + copy + "/" + name + "'");
    }
}
