// bench/sfxpack_bench.cpp: times the whole "sfxpack build" and "sfxpack extract"
// processes of a 256 MiB, seven-entry installer against whole cp processes copying the
// same files, in interleaved rounds, and prints the ratios of the best times. Every run
// starts alike: its own last output just removed, nothing of earlier runs still to be
// written, so that no run pays for another's write-back; neither side syncs its own
// output. Not a test: timings never decide pass or fail.
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"

extern char** environ;

namespace {

constexpr int Rounds = 7;
// What both ratios aim at.
constexpr double Goal = 1.05;

// Removes the program's last output with the shell command clear, writes what earlier
// runs left in the page cache, then runs the program (found on PATH) and returns how
// long it took; stops the benchmark when anything fails. A process that starts long
// after memory was freed can be slower on a virtual machine, which hands free memory
// back to its host: clearing just before keeps both sides alike.
double TimeProgram(const std::string& clear, const std::vector<std::string>& args) {
    RunShell(clear);
    sync();
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    double start = Now();
    pid_t child = 0;
    int status = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "sfxpack_bench: %s %s failed\n", args[0].c_str(), args[1].c_str());
        exit(1);
    }
    return Now() - start;
}

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
        double cp1 = TimeProgram(clearCopy, copy);
        double b = TimeProgram(clearBuild, build);
        double cp2 = TimeProgram(clearCopy, copy);
        double e = TimeProgram(clearExtract, extract);
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
