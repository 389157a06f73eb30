// bench/sfxpack_bench.cpp: times the whole "sfxpack build" and "sfxpack extract"
// processes of a 256 MiB, seven-entry installer against whole cp processes copying the
// same files, in interleaved rounds, and prints the ratios of the best times. Every run
// starts alike: its own last output just removed, nothing of earlier runs still to be
// written, so that no run pays for another's write-back; neither side syncs its own
// output. Not a test: timings never decide pass or fail.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"

namespace {

constexpr int Rounds = 7;
// What both ratios aim at.
constexpr double Goal = 1.05;

// A stand-in stub of the classic length holding one seal block, sealed, with room for the
// payload's digest as the real stub's has: build computes it, extract checks it.
void WriteStub(const std::string& path) {
    std::vector<char> stub(static_cast<size_t>(UnsealedStubLength), '\x90');
    memcpy(stub.data() + 1024, StubSealMarker, StubSealMarkerLength);
    const uint32_t noDigest = SealHasNoDigest; // little-endian, as the stub's own
    memcpy(stub.data() + 1024 + SealDigestOffset, &noDigest, sizeof noDigest);
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(stub.data(), 1, stub.size(), file);
    fclose(file);
    int32_t length = 0;
    if (SealStubFile(path.c_str(), &length) != SealStatus::Sealed) {
        fprintf(stderr, "sfxpack_bench: cannot seal the stub\n");
        exit(1);
    }
}

} // namespace

int main() {
    const std::string work = MakeWorkDirectory("sfxpack-bench");
    const std::string installer = work + "/installer.exe";
    const std::string stub = work + "/stub.exe";
    WriteStub(stub);
    std::vector<std::string> build = {SFXPACK_PATH, "build",     "--stub", stub,
                                      "--title",    "Benchmark", "-o",     installer};
    std::vector<std::string> copy = {"cp"};
    RunShell("mkdir '" + work + "/input'");
    WriteEntryFiles(work + "/input");
    for (int k = 0; k < PayloadEntryCount; ++k) {
        std::string path = work + "/input/" + (PayloadEntryTable[k] + 1);
        build.push_back(path);
        copy.push_back(path);
    }
    copy.push_back(work + "/cp");
    const std::vector<std::string> extract = {SFXPACK_PATH, "extract", installer, "-C", work + "/out"};
    const std::string clearCopy = "rm -rf '" + work + "/cp'; mkdir '" + work + "/cp'";
    const std::string clearBuild = "rm -f '" + installer + "'";
    const std::string clearExtract = "rm -rf '" + work + "/out'";

    Best cpForBuild, ours, cpForExtract, unpack;
    for (int round = 1; round <= Rounds; ++round) {
        double cp1 = TimeProcess(clearCopy, copy);
        double b = TimeProcess(clearBuild, build);
        double cp2 = TimeProcess(clearCopy, copy);
        double e = TimeProcess(clearExtract, extract);
        printf("round %d: cp %.3f s, build %.3f s, cp %.3f s, extract %.3f s\n", round, cp1, b, cp2, e);
        cpForBuild.Take(cp1);
        ours.Take(b);
        cpForExtract.Take(cp2);
        unpack.Take(e);
    }
    // The last round's entries must be the inputs themselves.
    ExpectSameEntries(work + "/input", work + "/out");
    RunShell("rm -rf '" + work + "'");
    printf("best: cp %.3f s, build %.3f s; cp %.3f s, extract %.3f s (256 MiB, 7 entries)\n", cpForBuild.time,
           ours.time, cpForExtract.time, unpack.time);
    printf("ratio build/cp %.2f, extract/cp %.2f (goal %.2f for both)\n", ours.time / cpForBuild.time,
           unpack.time / cpForExtract.time, Goal);
    return 0;
}
