// tests/packer/packer_support.cpp: the helpers of packer_support.h.
#include "tests/packer/packer_support.h"

#include "engine/payload.h"
#include "engine/seal.h"
#include "tools/sfxpack/seal.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/portable/control.h"
#endif

const char* const EntryNames[7] = {"Setup.exe", "Setup.jar", "setup.aux", "setup.cls",
                                   "knxf.dat",  "knxr.dat",  "knxl.dat"};

std::string WriteSealedStub(const std::string& path, size_t size, bool peHeader) {
    std::string stub = peHeader ? PeStub(size, true) : PatternBytes(size, 99);
    // Past the PE header.
    const size_t sealAt = peHeader ? size * 2 / 3 : size / 3;
    stub.replace(sealAt, StubSealMarkerLength, StubSealMarker, StubSealMarkerLength);
    WriteFileBytes(path, stub);
    int32_t length = 0;
    if (SealStubFile(path.c_str(), &length) != SealStatus::Sealed) {
        return std::string();
    }
    return ReadFileBytes(path);
}

#ifdef _WIN32
CKernelCopyCap::CKernelCopyCap(int64_t) {}
CKernelCopyCap::~CKernelCopyCap() {}
#else
CKernelCopyCap::CKernelCopyCap(int64_t bytes) { PortableLimitKernelCopy(bytes); }
CKernelCopyCap::~CKernelCopyCap() { PortableLimitKernelCopy(-1); }
#endif

#ifndef _WIN32
void MakeSparseFile(const std::string& path, int64_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (ftruncate(fd, size) != 0) {
            perror("ftruncate");
        }
        close(fd);
    }
}

int RunWithFileSizeLimit(int64_t fileSizeLimit, const std::function<int()>& body) {
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        rlimit limit = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProgramRun RunSfxpack(const std::vector<std::string>& args) {
    ScratchDir streams;
    std::string outPath = streams / "out";
    std::string errPath = streams / "err";
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(SFXPACK_PATH));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(SFXPACK_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ProgramRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFileBytes(outPath);
    run.err = ReadFileBytes(errPath);
    return run;
}
#endif
