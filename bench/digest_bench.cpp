// bench/digest_bench.cpp: how long a signed installer's check of its own digest takes
// (CheckSignatureDigest, as the install run calls it before extracting), best of five
// rounds. Windows only; scripts/bench.sh runs it under Wine on a 256 MiB installer.
#include <stdio.h>

#include "platform/system/trust.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: digest_bench SIGNED-INSTALLER\n");
        return 2;
    }
    CFileStream file;
    if (!file.Open(argv[1], CFileStream::modeRead)) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best = 1e9;
    SignatureCheck result = SignatureCheck::Damaged;
    for (int round = 0; round < 5; ++round) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        result = CheckSignatureDigest(file);
        QueryPerformanceCounter(&end);
        double seconds =
            static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        best = seconds < best ? seconds : best;
    }
    const char* verdict = result == SignatureCheck::Intact ? "intact" : "NOT INTACT";
    file.SeekToEnd();
    printf("digest check, %lld bytes: %s, best of 5: %.3f s\n", static_cast<long long>(file.GetPosition()),
           verdict, best);
    return result == SignatureCheck::Intact ? 0 : 1;
}
