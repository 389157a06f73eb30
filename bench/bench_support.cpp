// bench/bench_support.cpp: the shared parts of the benchmarks.
#include "bench/bench_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

extern char** environ;

double TimeProcess(const std::string& clear, const std::vector<std::string>& args, bool quiet) {
    RunShell(clear);
    sync();
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    const double start = Now();
    pid_t child = 0;
    int status = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        fprintf(stderr, "benchmark: %s %s failed\n", args[0].c_str(), args[1].c_str());
        exit(1);
    }
    return Now() - start;
}

void WriteEntryFiles(const std::string& directory, const size_t* sizes) {
    std::vector<uint32_t> chunk((1u << 20) / sizeof(uint32_t));
    for (int k = 0; k < PayloadEntryCount; ++k) {
        FILE* file = fopen((directory + "/" + (PayloadEntryTable[k] + 1)).c_str(), "wb");
        uint32_t seed = 1000u + static_cast<uint32_t>(k);
        for (size_t done = 0; done < sizes[k]; done += chunk.size() * sizeof(uint32_t)) {
            for (uint32_t& word : chunk) {
                seed = seed * 1103515245u + 12345u;
                word = seed;
            }
            const size_t bytes = chunk.size() * sizeof(uint32_t);
            fwrite(chunk.data(), 1, sizes[k] - done < bytes ? sizes[k] - done : bytes, file);
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
