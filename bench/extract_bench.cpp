// bench/extract_bench.cpp: times the engine's extraction of a 256 MiB, seven-entry
// installer against cp copying the same entry files, in interleaved rounds, and prints
// the ratio of the best times. Progress goes to an in-memory progress bar, one message
// per 1 KiB block as in the installer. Not a test: timings never decide pass or fail.
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <string>
#include <vector>

#include "engine/payload.h"
#include "platform/portable/window.h"

namespace {

constexpr int Rounds = 5;
const size_t EntrySizes[PayloadEntryCount] = {
    96u << 20, 64u << 20, 40u << 20, 24u << 20, 16u << 20, 12u << 20, 4u << 20,
}; // 256 MiB in all

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void Run(const std::string& command) {
    if (system(command.c_str()) != 0) {
        fprintf(stderr, "extract_bench: '%s' failed\n", command.c_str());
        exit(1);
    }
}

// Writes size pseudo-random bytes to two files at once: the entry file and the installer.
void AppendEntry(FILE* installer, const std::string& entryPath, size_t size, unsigned seed) {
    FILE* entry = fopen(entryPath.c_str(), "wb");
    unsigned char field[LengthFieldDigits];
    EncodeEntryLength(static_cast<int32_t>(size), field);
    fwrite(field, 1, sizeof field, installer);
    std::vector<unsigned char> chunk(1 << 20);
    uint32_t state = seed;
    for (size_t done = 0; done < size; done += chunk.size()) {
        for (unsigned char& byte : chunk) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<unsigned char>(state >> 24);
        }
        size_t take = size - done < chunk.size() ? size - done : chunk.size();
        fwrite(chunk.data(), 1, take, installer);
        fwrite(chunk.data(), 1, take, entry);
    }
    fclose(entry);
}

} // namespace

int main() {
    const char* tmp = getenv("TMPDIR");
    std::string work = std::string(tmp != nullptr ? tmp : "/tmp") + "/sfx-bench-XXXXXX";
    if (mkdtemp(&work[0]) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    Run("mkdir '" + work + "/entries' '" + work + "/cp'");

    // The installer: a stub of the classic length, a title, seven entries; the same
    // entries also as plain files for cp.
    const std::string installerPath = work + "/installer.exe";
    FILE* installer = fopen(installerPath.c_str(), "wb");
    std::vector<unsigned char> stub(static_cast<size_t>(StubLength), 0x90);
    fwrite(stub.data(), 1, stub.size(), installer);
    fprintf(installer, "%-40s", "Benchmark Installer");
    std::string entryFiles;
    for (int k = 0; k < PayloadEntryCount; ++k) {
        std::string path = work + "/entries/" + (PayloadEntryTable[k] + 1); // without the backslash
        AppendEntry(installer, path, EntrySizes[k], 1000u + static_cast<unsigned>(k));
        entryFiles += " '" + path + "'";
    }
    fclose(installer);

    PortableWindow progressBar;
    PortableWindow statusText;
    progressBar.recording = statusText.recording = false;
    CWnd progress = CWnd::FromHandle(&progressBar);
    CWnd status = CWnd::FromHandle(&statusText);

    double bestCp = 1e9;
    double bestOurs = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        Run("rm -f '" + work + "/cp/'*");
        double start = Now();
        Run("cp" + entryFiles + " '" + work + "/cp/'");
        double cpTime = Now() - start;

        Run("rm -f '" + work + "/cp/'*");
        start = Now();
        CFileStream program;
        program.Open(installerPath.c_str(), CFileStream::modeRead);
        CWindowProgress windows(progress, status);
        ExtractResult result = ExtractPayloadFrom(program, StubLength, (work + "/cp").c_str(), windows);
        double oursTime = Now() - start;
        if (result != ExtractResult::Complete || progressBar.position != 100) {
            fprintf(stderr, "extract_bench: extraction failed\n");
            return 1;
        }
        printf("round %d: cp %.3f s, extract %.3f s\n", round + 1, cpTime, oursTime);
        bestCp = cpTime < bestCp ? cpTime : bestCp;
        bestOurs = oursTime < bestOurs ? oursTime : bestOurs;
    }
    // The last round's output must be the entries themselves.
    for (int k = 0; k < PayloadEntryCount; ++k) {
        std::string name = PayloadEntryTable[k] + 1;
        Run("cmp -s '" + work + "/entries/" + name + "' '" + work + "/cp/" + name + "'");
    }
    Run("rm -rf '" + work + "'");

    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("best: cp %.3f s, extract %.3f s (256 MiB, 7 entries)\n", bestCp, bestOurs);
    printf("peak resident memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    printf("ratio %.2f\n", bestOurs / bestCp);
    return 0;
}
