// bench/install_bench.cpp: how long an install takes, from the installer's start to its
// end, with Install clicked as soon as its window shows, against `cmd /c copy` of the same
// file: best of five rounds of each, interleaved. Windows only; scripts/bench.sh runs it
// under Wine for each stub on a 16 MiB installer whose setup program ends at once.
//
//   install_bench INSTALLER SCRATCH_DIR
#include <stdio.h>

#include <string>

#include "tools/windriver/driver.h"
#include "ui/resource.h"

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds from the start of the command line to its end, or a negative value when it
// failed: its exit status was not `expected`.
double TimeProcess(const std::string& commandLine, long expected, bool clickInstall) {
    const double start = Now();
    CInstallerProcess process;
    if (!process.Start(commandLine)) {
        return -1;
    }
    if (clickInstall) {
        PostMessageA(process.WaitForWindow(InstallerCaption), WM_COMMAND, IDOK, 0);
    }
    const long status = process.WaitForExit(120000);
    return status == expected ? Now() - start : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: install_bench INSTALLER SCRATCH_DIR\n");
        return 2;
    }
    const std::string installer = argv[1];
    const std::string copy = std::string(argv[2]) + "\\copy.bin";
    // The setup stand-in ends with status 0 once it has written down its run.
    SetVariable("SFX_STANDIN_RECORD", std::string(argv[2]) + "\\setup-runs.txt");
    double bestInstall = 1e9, bestCopy = 1e9;
    for (int round = 0; round < 5; ++round) {
        const double install = TimeProcess("\"" + installer + "\"", 0, true);
        const double copied =
            TimeProcess("cmd /c copy /b /y \"" + installer + "\" \"" + copy + "\"", 0, false);
        DeleteFileA(copy.c_str());
        if (install < 0 || copied < 0) {
            fprintf(stderr, "install_bench: round %d failed (%s)\n", round + 1,
                    install < 0 ? "install" : "copy");
            return 1;
        }
        bestInstall = install < bestInstall ? install : bestInstall;
        bestCopy = copied < bestCopy ? copied : bestCopy;
    }
    printf("install, start to end, best of 5: %.2f s; cmd /c copy of the same file: %.2f s\n", bestInstall,
           bestCopy);
    return 0;
}
