// bench/sfxpack_bench.cpp: times whole "sfxpack build" and "sfxpack extract" processes for
// each kind of installer a user brings, against whole cp processes copying the same bytes,
// in interleaved rounds, and prints the best times and their ratios to cp: a sealed stub
// with room for the payload's digest (256 MiB in seven entries), a raw stub without one,
// a signed stub and installer, and small and empty entries. Every run starts alike: its
// own last output just removed, nothing of earlier runs still to be written; neither side
// syncs its own output. Not a test: timings never decide pass or fail.
//
//   sfxpack_bench [ROUNDS]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"

namespace {

constexpr int DefaultRounds = 11;
constexpr size_t StubBytes = static_cast<size_t>(UnsealedStubLength);
// Small entries, empty ones among them, of 1.1 MiB in all.
const size_t SmallEntrySizes[PayloadEntryCount] = {0, 1, 333, 65537, (1 << 20) + 1, 0, 4095};

// A PE32 header for 32-bit x86, without sections: enough for sfxpack's checksum and for a
// signing tool.
void PutPeHeader(std::vector<char>& bytes) {
    const unsigned char header[] = {0x4C, 0x01, 0, 0, 0, 0, 0,    0, 0,    0,
                                    0,    0,    0, 0, 0, 0, 0xE0, 0, 0x02, 0x01};
    memcpy(bytes.data(), "MZ", 2);
    memcpy(bytes.data() + 0x3C, "\x80\0\0\0", 4); // where the PE header starts
    memcpy(bytes.data() + 0x80, "PE\0\0", 4);
    memcpy(bytes.data() + 0x84, header, sizeof header);
    memset(bytes.data() + 0x98, 0, 0xE0);
    bytes[0x98] = 0x0B; // PE32
    bytes[0x99] = 0x01;
    bytes[0x98 + 92] = 16; // data directories
}

// A stand-in stub of the unsealed length: sealed with room for the digest, as the real
// stub is, or raw, without a seal.
void WriteStub(const std::string& path, bool sealed) {
    std::vector<char> stub(StubBytes, '\x90');
    PutPeHeader(stub);
    if (sealed) {
        memcpy(stub.data() + 1024, StubSealMarker, StubSealMarkerLength);
        const uint32_t noDigest = SealHasNoDigest; // little-endian, as the stub's own
        memcpy(stub.data() + 1024 + SealDigestOffset, &noDigest, sizeof noDigest);
    }
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(stub.data(), 1, stub.size(), file);
    fclose(file);
    int32_t length = 0;
    if (sealed && SealStubFile(path.c_str(), &length) != SealStatus::Sealed) {
        fprintf(stderr, "sfxpack_bench: cannot seal the stub\n");
        exit(1);
    }
}

// Entry files of the sizes given, in directory.
std::vector<std::string> WriteInputs(const std::string& directory, const size_t* sizes) {
    RunShell("mkdir '" + directory + "'");
    WriteEntryFiles(directory, sizes);
    std::vector<std::string> paths;
    for (int k = 0; k < PayloadEntryCount; ++k) {
        paths.push_back(directory + "/" + (PayloadEntryTable[k] + 1));
    }
    return paths;
}

struct Kind {
    std::string name;
    std::vector<std::string> build;   // sfxpack build ...
    std::vector<std::string> copy;    // cp of the bytes build moves
    std::vector<std::string> extract; // sfxpack extract ...
    std::vector<std::string> copyEntries;
    std::string output, out, copied;
    Best cpBuild, built, cpExtract, extracted;
};

Kind MakeKind(const std::string& work, const std::string& name, const std::string& stub,
              const std::vector<std::string>& options, const std::vector<std::string>& inputs,
              const std::string& extractFrom, const std::vector<std::string>& extractOptions) {
    Kind kind;
    kind.name = name;
    kind.output = work + "/" + name + ".exe";
    kind.out = work + "/" + name + "-out";
    kind.copied = work + "/" + name + "-cp";
    kind.build = {SFXPACK_PATH, "build", "--stub", stub, "--title", "Benchmark", "-o", kind.output};
    kind.build.insert(kind.build.end(), options.begin(), options.end());
    kind.build.insert(kind.build.end(), inputs.begin(), inputs.end());
    kind.copy = {"cp", stub};
    kind.copy.insert(kind.copy.end(), inputs.begin(), inputs.end());
    kind.copy.push_back(kind.copied);
    kind.copyEntries = {"cp"};
    kind.copyEntries.insert(kind.copyEntries.end(), inputs.begin(), inputs.end());
    kind.copyEntries.push_back(kind.copied);
    kind.extract = {SFXPACK_PATH, "extract", extractFrom, "-C", kind.out};
    kind.extract.insert(kind.extract.end(), extractOptions.begin(), extractOptions.end());
    return kind;
}

void PrintLoad(const char* when) {
    double load[3] = {};
    getloadavg(load, 3);
    printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? atoi(argv[1]) : DefaultRounds;
    const std::string work = MakeWorkDirectory("sfxpack-bench");
    PrintLoad("before");
    const std::string sealedStub = work + "/stub.exe", rawStub = work + "/raw-stub.exe";
    const std::string signedStub = work + "/signed-stub.exe",
                      signedInstaller = work + "/signed-installer.exe";
    WriteStub(sealedStub, true);
    WriteStub(rawStub, false);
    const std::vector<std::string> large = WriteInputs(work + "/large", BenchEntrySizes);
    const std::vector<std::string> small = WriteInputs(work + "/small", SmallEntrySizes);
    const std::string stubLength = std::to_string(StubBytes);

    // A throwaway key, made here and removed with the work directory.
    const std::string sign = "osslsigncode sign -certs '" + work + "/cert.pem' -key '" + work +
                             "/key.pem' -h sha256 -in '%s' -out '%s' >/dev/null";
    RunShell("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Benchmark -keyout '" + work +
             "/key.pem' -out '" + work + "/cert.pem' 2>/dev/null");
    char command[4096];
    snprintf(command, sizeof command, sign.c_str(), sealedStub.c_str(), signedStub.c_str());
    RunShell(command);
    std::vector<std::string> prepare = {SFXPACK_PATH, "build",     "--stub", sealedStub,
                                        "--title",    "Benchmark", "-o",     work + "/to-sign.exe"};
    prepare.insert(prepare.end(), large.begin(), large.end());
    TimeProcess("true", prepare, true);
    snprintf(command, sizeof command, sign.c_str(), (work + "/to-sign.exe").c_str(), signedInstaller.c_str());
    RunShell(command);
    RunShell("rm '" + work + "/to-sign.exe'");

    std::vector<Kind> kinds = {
        MakeKind(work, "digest", sealedStub, {}, large, work + "/digest.exe", {}),
        MakeKind(work, "raw", rawStub, {"--raw-stub"}, large, work + "/raw.exe",
                 {"--stub-length", stubLength}),
        MakeKind(work, "signed", signedStub, {}, large, signedInstaller, {}),
        MakeKind(work, "small", sealedStub, {}, small, work + "/small.exe", {}),
    };
    for (int round = 1; round <= rounds; ++round) {
        printf("round %d:", round);
        for (Kind& kind : kinds) {
            const std::string clearCopy = "rm -rf '" + kind.copied + "'; mkdir '" + kind.copied + "'";
            const double cpBuild = TimeProcess(clearCopy, kind.copy);
            // Quiet: build notes on every run that a signed stub's signature is left out
            // and that the first entry is no program.
            const double built = TimeProcess("rm -f '" + kind.output + "'", kind.build, true);
            const double cpExtract = TimeProcess(clearCopy, kind.copyEntries);
            const double extracted = TimeProcess("rm -rf '" + kind.out + "'", kind.extract);
            printf(" %s %.3f/%.3f %.3f/%.3f;", kind.name.c_str(), built, cpBuild, extracted, cpExtract);
            kind.cpBuild.Take(cpBuild);
            kind.built.Take(built);
            kind.cpExtract.Take(cpExtract);
            kind.extracted.Take(extracted);
        }
        printf("\n");
        fflush(stdout);
    }
    PrintLoad("after");
    printf("best of %d rounds (s), and the ratio to cp (1.00: as fast as cp):\n", rounds);
    for (const Kind& kind : kinds) {
        // The last round's entries must be the inputs themselves.
        ExpectSameEntries(kind.name == "small" ? work + "/small" : work + "/large", kind.out);
        printf("%-7s build %.4f, cp %.4f: %.2f; extract %.4f, cp %.4f: %.2f\n", kind.name.c_str(),
               kind.built.time, kind.cpBuild.time, kind.built.time / kind.cpBuild.time, kind.extracted.time,
               kind.cpExtract.time, kind.extracted.time / kind.cpExtract.time);
    }
    RunShell("rm -rf '" + work + "'");
    return 0;
}
