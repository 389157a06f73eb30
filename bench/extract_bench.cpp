// bench/extract_bench.cpp: times the engine's extraction of a 256 MiB, seven-entry
// installer, with the payload's CRC-32 checked and without, against cp copying the same
// entry files, in interleaved rounds, and prints the ratios of the best times. Progress
// goes to an in-memory progress bar, one message per 1 KiB block as in the installer.
// Not a test: timings never decide pass or fail.
#include <stdio.h>
#include <sys/resource.h>

#include <vector>

#include "bench/bench_support.h"
#include "engine/crc32.h"
#include "engine/extract.h"
#include "engine/seal.h"
#include "platform/window/portable/window.h"

namespace {

constexpr int Rounds = 5;

// The installer: a stub of the classic length, a title, the seven entry files. Returns
// the payload's CRC-32.
uint32_t WriteInstaller(const std::string& path, const std::string& entries) {
    FILE* installer = fopen(path.c_str(), "wb");
    std::vector<unsigned char> buffer(1u << 20, 0x90);
    fwrite(buffer.data(), 1, static_cast<size_t>(StubLength), installer);
    char title[TitleFieldLength + 1];
    snprintf(title, sizeof title, "%-40s", "Benchmark Installer");
    fwrite(title, 1, TitleFieldLength, installer);
    uint32_t digest = UpdateCrc32(0, title, TitleFieldLength);
    for (int k = 0; k < PayloadEntryCount; ++k) {
        unsigned char field[LengthFieldDigits];
        EncodeEntryLength(static_cast<int32_t>(BenchEntrySizes[k]), field);
        fwrite(field, 1, sizeof field, installer);
        digest = UpdateCrc32(digest, field, sizeof field);
        FILE* entry = fopen((entries + "/" + (PayloadEntryTable[k] + 1)).c_str(), "rb");
        for (size_t got; (got = fread(buffer.data(), 1, buffer.size(), entry)) > 0;) {
            fwrite(buffer.data(), 1, got, installer);
            digest = UpdateCrc32(digest, buffer.data(), got);
        }
        fclose(entry);
    }
    fclose(installer);
    return digest;
}

} // namespace

int main() {
    const std::string work = MakeWorkDirectory("sfx-bench");
    RunShell("mkdir '" + work + "/entries' '" + work + "/cp'");
    WriteEntryFiles(work + "/entries");
    const std::string installerPath = work + "/installer.exe";
    const PayloadSeal withDigest = {StubLength, true, WriteInstaller(installerPath, work + "/entries")};
    const PayloadSeal withoutDigest = {StubLength};

    PortableWindow progressBar;
    PortableWindow statusText;
    CProgressCtrl progress;
    progress.m_hWnd = &progressBar;
    CWnd status = CWnd::FromHandle(&statusText);

    // One extraction's time; negative when it failed.
    auto extract = [&](const PayloadSeal& seal) {
        RunShell("rm -f '" + work + "/cp/'*");
        const double start = Now();
        ProgramFile program;
        program.stream.Open(installerPath.c_str(), CFileStream::modeRead);
        program.bounds = FindPayloadBounds(program.stream);
        CWindowProgress windows(progress, status);
        ExtractResult result = ExtractPayloadFrom(program, seal, (work + "/cp").c_str(), windows);
        const double time = Now() - start;
        return result == ExtractResult::Complete && progressBar.position == 100 ? time : -1.0;
    };
    Best cp, ours, plain;
    for (int round = 0; round < Rounds; ++round) {
        RunShell("rm -f '" + work + "/cp/'*");
        double start = Now();
        RunShell("cp '" + work + "/entries/'* '" + work + "/cp/'");
        double cpTime = Now() - start;
        const double plainTime = extract(withoutDigest);
        const double oursTime = extract(withDigest);
        if (plainTime < 0 || oursTime < 0) {
            fprintf(stderr, "extract_bench: extraction failed\n");
            return 1;
        }
        printf("round %d: cp %.3f s, extract %.3f s, extract checking the CRC-32 %.3f s\n", round + 1, cpTime,
               plainTime, oursTime);
        cp.Take(cpTime);
        plain.Take(plainTime);
        ours.Take(oursTime);
    }
    // The last round's output must be the entries themselves.
    ExpectSameEntries(work + "/entries", work + "/cp");
    RunShell("rm -rf '" + work + "'");

    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("best: cp %.3f s, extract %.3f s, extract checking the CRC-32 %.3f s (256 MiB, 7 entries)\n",
           cp.time, plain.time, ours.time);
    printf("peak resident memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    printf("ratio to cp: extract %.2f, extract checking the CRC-32 %.2f\n", plain.time / cp.time,
           ours.time / cp.time);
    return 0;
}
