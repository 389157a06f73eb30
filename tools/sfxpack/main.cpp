// tools/sfxpack/main.cpp: the sfxpack command line.
#include <stdio.h>
#include <string.h>

#include "tools/sfxpack/seal.h"

namespace {

// Exit statuses.
constexpr int ExitOk = 0;
constexpr int ExitUsage = 1;
constexpr int ExitBadInput = 2;
constexpr int ExitIoError = 3;

const char SealUsage[] = "usage: sfxpack seal [--check] STUB\n"
                         "\n"
                         "Stores the stub's own file length in its seal, so that the stub finds the\n"
                         "payload that follows it. With --check, only tells whether the seal holds\n"
                         "the file's length (exit 0) or not (exit 2).\n";

int Fail(int status, const char* format, const char* argument) {
    fprintf(stderr, "sfxpack: ");
    fprintf(stderr, format, argument);
    fputc('\n', stderr);
    return status;
}

int RunSeal(int argc, char** argv) {
    bool check = false;
    const char* stub = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0) {
            fputs(SealUsage, stdout);
            return ExitOk;
        }
        if (strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (stub == nullptr && argv[i][0] != '-') {
            stub = argv[i];
        } else {
            return Fail(ExitUsage, "seal: unexpected argument '%s' (see sfxpack seal --help)", argv[i]);
        }
    }
    if (stub == nullptr) {
        return Fail(ExitUsage, "seal: no stub given (see sfxpack seal --help)", "");
    }
    int32_t stored = 0;
    int64_t fileLength = 0;
    SealStatus status = check ? CheckStubSeal(stub, &stored, &fileLength) : SealStubFile(stub, &stored);
    switch (status) {
    case SealStatus::Sealed:
        if (check && stored != fileLength) {
            fprintf(stderr, "sfxpack: %s: seal says %ld bytes but the file has %lld\n", stub,
                    static_cast<long>(stored), static_cast<long long>(fileLength));
            return ExitBadInput;
        }
        return ExitOk;
    case SealStatus::NoMarker:
        return Fail(ExitBadInput, "%s: no seal found: not a stub of this project", stub);
    case SealStatus::SeveralMarkers:
        return Fail(ExitBadInput, "%s: more than one seal marker: refusing to guess", stub);
    case SealStatus::IoError:
        break;
    }
    return Fail(ExitIoError, "%s: cannot read or write the file", stub);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "seal") == 0) {
        return RunSeal(argc - 2, argv + 2);
    }
    fputs("usage: sfxpack seal [--check] STUB\n", stderr);
    return ExitUsage;
}
