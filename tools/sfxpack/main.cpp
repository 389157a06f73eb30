// tools/sfxpack/main.cpp: the sfxpack command line: picks the command, runs it and turns
// its result into a message on standard error and the exit status.
#include <stdio.h>
#include <string.h>

#include "engine/seal.h"
#include "tools/sfxpack/build.h"
#include "tools/sfxpack/inspect.h"
#include "tools/sfxpack/seal.h"
#include "tools/sfxpack/sysfile.h"

namespace {

const char MainUsage[] =
    "Usage: sfxpack COMMAND [OPTION]... [ARGUMENT]...\n"
    "Build, inspect and unpack self-extracting installers.\n"
    "\n"
    "Commands:\n"
    "  build     make an installer from a stub, a title and up to seven files\n"
    "  list      show an installer's stub length, title and entries\n"
    "  verify    check that an installer's payload is complete\n"
    "  extract   unpack an installer's entries into a directory\n"
    "  seal      store a linked stub's own length in it\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "'sfxpack COMMAND --help' describes a command and its options. An option that takes\n"
    "a value takes it as the next argument or after '=': --title=TITLE, --title TITLE.\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  usage error: an unknown command or option, a missing argument, more than\n"
    "     seven files, an output that is one of the inputs, an unknown code page\n"
    "  2  bad or damaged input: an unsealed stub, a title that is not UTF-8 or does not\n"
    "     fit, a file too large or no regular file, a damaged installer (which list\n"
    "     still lists), an extract over its installer, a stub whose seal does not hold\n"
    "     its length (seal --check)\n"
    "  3  I/O failure: a file that cannot be read, created or written\n";

const char SealUsage[] =
    "Usage: sfxpack seal [--check] STUB\n"
    "Store the stub's own file length in its seal, so that the stub finds the payload\n"
    "appended to it, and the file's true checksum in its PE header. The build runs\n"
    "this after linking every stub.\n"
    "\n"
    "Options:\n"
    "      --check   only tell whether the seal holds the file's length: exit 0 when it\n"
    "                does, 2 when it does not; and whether the stub can carry the\n"
    "                digest of a payload, which older stubs cannot\n"
    "  -h, --help    show this help and exit\n";

CommandResult RunSeal(const Arguments& args) {
    CArgumentScanner scanner("seal", args);
    bool check = false;
    std::string stub;
    while (scanner.Next()) {
        if (scanner.IsFlag("--help", "-h")) {
            return ShowHelp(SealUsage);
        }
        if (scanner.IsFlag("--check")) {
            check = true;
        } else if (scanner.IsOperand() && stub.empty()) {
            stub = scanner.Current();
        } else {
            return scanner.Unexpected();
        }
    }
    if (stub.empty()) {
        return FailUsage("seal", "no stub given");
    }
    std::string systemPath;
    SealScan scan;
    SealStatus status = SealStatus::IoError;
    if (ToSystemPath(stub, systemPath)) {
        status = check ? CheckStubSeal(systemPath.c_str(), scan)
                       : SealStubFile(systemPath.c_str(), &scan.storedLength);
    }
    switch (status) {
    case SealStatus::Sealed:
        if (check && scan.storedLength != scan.fileLength) {
            return Fail(ExitBadInput, "%s: seal says %ld bytes but the file has %lld", stub.c_str(),
                        static_cast<long>(scan.storedLength), static_cast<long long>(scan.fileLength));
        }
        if (check) {
            printf("%s: sealed, %ld bytes; %s\n", stub.c_str(), static_cast<long>(scan.storedLength),
                   scan.CanCarryDigest() ? "can carry a payload digest"
                                         : "an older stub: it cannot carry a payload digest");
        }
        return Succeed();
    case SealStatus::NoMarker:
        return Fail(ExitBadInput, "%s: no seal found: not a stub of this project", stub.c_str());
    case SealStatus::SeveralMarkers:
        return Fail(ExitBadInput, "%s: more than one seal marker: refusing to guess", stub.c_str());
    case SealStatus::IoError:
        break;
    }
    return Fail(ExitIoError, "%s: cannot read or write the file", stub.c_str());
}

struct Command {
    const char* name;
    CommandResult (*run)(const Arguments& args);
};

const Command Commands[] = {
    {"build", RunBuild}, {"list", RunList}, {"verify", RunVerify}, {"extract", RunExtract}, {"seal", RunSeal},
};

CommandResult RunCommand(const Arguments& args) {
    if (args.empty()) {
        return Fail(ExitUsage, "no command given\nTry 'sfxpack --help' for more information.");
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h") {
        fputs(MainUsage, stdout);
        return Succeed();
    }
    if (name == "--version") {
        printf("sfxpack %s\n", SFXPACK_VERSION);
        return Succeed();
    }
    for (const Command& command : Commands) {
        if (name == command.name) {
            return command.run(Arguments(args.begin() + 1, args.end()));
        }
    }
    return Fail(ExitUsage, "unknown command '%s'\nTry 'sfxpack --help' for more information.", name.c_str());
}

} // namespace

int main(int argc, char** argv) {
    CommandResult result = RunCommand(GetUtf8Arguments(argc, argv));
    if (result.Failed()) {
        fprintf(stderr, "sfxpack: %s\n", result.message.c_str());
    }
    // A full disk may show only when standard output is flushed.
    if (fflush(stdout) != 0 && !result.Failed()) {
        fprintf(stderr, "sfxpack: standard output: write error\n");
        return ExitIoError;
    }
    return result.status;
}
