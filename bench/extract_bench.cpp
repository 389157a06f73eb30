// bench/extract_bench.cpp: times the stub's extraction of a 256 MiB, seven-entry installer,
// each run a whole process as a shell starts it, against cp processes copying the same
// entry files, in interleaved rounds, and prints the best times and their ratios to cp.
// Each extraction holds Setup.exe and compares it with the payload, as the stub does, and
// reports progress per 1 KiB block to an in-memory bar; once with the payload's CRC-32
// checked (a seal recording a digest) and once without (a seal recording none, so that no
// CRC is computed at all). Not a test: timings never decide pass or fail.
//
//   extract_bench                                   the benchmark
//   extract_bench run INSTALLER DIRECTORY [DIGEST]  one extraction, as the benchmark starts it
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/crc32.h"
#include "engine/extract.h"
#include "engine/seal.h"
#include "platform/window/portable/window.h"

namespace {

constexpr int Rounds = 7;

// The installer: a stub of the unsealed length, a title, the seven entry files. Returns
// the payload's CRC-32.
uint32_t WriteInstaller(const std::string& path, const std::string& entries) {
    CFileStream installer;
    installer.Open(path.c_str(), CFileStream::modeWrite);
    const std::vector<char> stub(static_cast<size_t>(StubLength), '\x90');
    installer.Write(stub.data(), stub.size());
    char title[TitleFieldLength + 1];
    snprintf(title, sizeof title, "%-40s", "Benchmark Installer");
    CPayloadWriter writer(installer);
    writer.WriteTitle(title);
    uint32_t digest = UpdateCrc32(0, title, TitleFieldLength);
    for (int k = 0; k < PayloadEntryCount; ++k) {
        const int32_t length = static_cast<int32_t>(BenchEntrySizes[k]);
        unsigned char field[LengthFieldDigits];
        EncodeEntryLength(length, field);
        digest = UpdateCrc32(digest, field, sizeof field);
        writer.WriteEntryLength(length);
        CFileStream entry;
        entry.Open((entries + "/" + (PayloadEntryTable[k] + 1)).c_str(), CFileStream::modeRead);
        std::vector<unsigned char> bytes(BenchEntrySizes[k]);
        entry.Read(bytes.data(), bytes.size());
        digest = UpdateCrc32(digest, bytes.data(), bytes.size());
        installer.Write(bytes.data(), bytes.size());
    }
    installer.Close();
    return digest;
}

// One extraction, as the stub's worker does it; status 0 when it was complete and the
// bar ended at 100.
int RunExtraction(const char* installerPath, const char* directory, const char* digest) {
    ProgramFile program;
    program.stream.Open(installerPath, CFileStream::modeRead);
    program.bounds = FindPayloadBounds(program.stream);
    PortableWindow progressBar;
    PortableWindow statusText;
    CProgressCtrl progress;
    progress.m_hWnd = &progressBar;
    CWnd status = CWnd::FromHandle(&statusText);
    CWindowProgress windows(progress, status);
    const PayloadSeal seal = {StubLength, digest != nullptr,
                              digest != nullptr ? static_cast<uint32_t>(strtoul(digest, nullptr, 16)) : 0};
    CFileStream setupHold;
    const ExtractResult result = ExtractPayloadFrom(program, seal, directory, windows, &setupHold);
    return result == ExtractResult::Complete && setupHold.IsOpen() && progressBar.position == 100 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "run") {
        return RunExtraction(argv[2], argv[3], argc > 4 ? argv[4] : nullptr);
    }
    const std::string work = MakeWorkDirectory("sfx-bench");
    RunShell("mkdir '" + work + "/entries'");
    WriteEntryFiles(work + "/entries");
    const std::string installer = work + "/installer.exe";
    char digest[16];
    snprintf(digest, sizeof digest, "%08x",
             static_cast<unsigned>(WriteInstaller(installer, work + "/entries")));

    const std::string out = work + "/out";
    const std::string clear = "rm -rf '" + out + "'; mkdir '" + out + "'";
    std::vector<std::string> copy = {"cp"};
    for (int k = 0; k < PayloadEntryCount; ++k) {
        copy.push_back(work + "/entries/" + (PayloadEntryTable[k] + 1));
    }
    copy.push_back(out);
    const std::vector<std::string> plain = {argv[0], "run", installer, out};
    const std::vector<std::string> checked = {argv[0], "run", installer, out, digest};
    Best cp, withoutDigest, withDigest;
    for (int round = 1; round <= Rounds; ++round) {
        const double c = TimeProcess(clear, copy);
        const double p = TimeProcess(clear, plain);
        const double d = TimeProcess(clear, checked);
        printf("round %d: cp %.3f s, extract %.3f s, extract checking the CRC-32 %.3f s\n", round, c, p, d);
        cp.Take(c);
        withoutDigest.Take(p);
        withDigest.Take(d);
    }
    // The last round's output must be the entries themselves.
    ExpectSameEntries(work + "/entries", out);
    RunShell("rm -rf '" + work + "'");
    printf("best of %d (256 MiB in 7 entries): cp %.3f s, extract %.3f s, with the CRC-32 %.3f s\n", Rounds,
           cp.time, withoutDigest.time, withDigest.time);
    printf("ratio to cp (1.00 is cp's time): extract %.2f, extract checking the CRC-32 %.2f\n",
           withoutDigest.time / cp.time, withDigest.time / cp.time);
    return 0;
}
