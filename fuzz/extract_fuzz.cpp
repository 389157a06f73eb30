// fuzz/extract_fuzz.cpp: any bytes as an installer, extracted as "sfxpack extract" does,
// with and without --force, and as the stub does. Nothing may land outside the target,
// no output may be longer than declared or differ from its entry, refusals leave
// nothing, complete means whole; and whatever verify accepts, the stub's extraction
// completes with the same files, byte for byte, taken from the offsets list prints.
#include "fuzz/fuzz_support.h"
#include "tools/sfxpack/layout.h"
#include "tools/sfxpack/sysfile.h"
#include "tools/sfxpack/unpack.h"

namespace {

void RemoveTarget(const std::string& target) {
    for (const std::string& name : ListNames(target)) {
        RemoveFile(JoinPath(target, name));
    }
    RemoveEmptyDirectory(target);
}

// Checks what the extraction left in target against the installer's layout.
void CheckTarget(const std::string& target, const std::string& installer, const PayloadLayout& layout) {
    std::vector<std::string> names = ListNames(target);
    for (const std::string& name : names) {
        int k = 0;
        while (k < PayloadEntryCount && name != EntryFileName(k)) {
            ++k;
        }
        Require(k < PayloadEntryCount, "the target holds entry files only: no staging directory is left");
        std::string written = ReadWholeFile(JoinPath(target, name));
        if (k < layout.entryCount) {
            const LayoutEntry& entry = layout.entries[k];
            Require(written.size() <= static_cast<size_t>(entry.declared),
                    "no output is longer than declared");
            Require(installer.compare(static_cast<size_t>(entry.offset), written.size(), written) == 0,
                    "an output holds the installer's bytes of that entry");
        }
    }
    if (layout.IsComplete()) {
        Require(names.size() == static_cast<size_t>(layout.entryCount),
                "a complete installer yields every entry");
        for (int k = 0; k < layout.entryCount; ++k) {
            Require(ReadWholeFile(JoinPath(target, EntryFileName(k))).size() ==
                        static_cast<size_t>(layout.entries[k].declared),
                    "a complete installer's entries are whole");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string root = FuzzScratchDirectory();
    const std::string installerPath = JoinPath(root, "installer.exe");
    const std::string target = JoinPath(root, "target");
    WriteWholeFile(installerPath, data, size);
    const std::string installer(reinterpret_cast<const char*>(data), size);

    CFileStream file;
    Require(file.Open(installerPath.c_str(), CFileStream::modeRead), "the input opens");
    PayloadLayout layout;
    ReadPayloadLayout(file, FuzzStubLength(data, size), layout);

    // What the stub writes, to hold sfxpack's extraction against.
    const std::string stubTarget = JoinPath(root, "stub-target");
    if (layout.IsComplete()) {
        Require(MakeNewDirectory(stubTarget), "the stub's target can be made");
        CTerminalProgress silent(false);
        Require(ExtractPayloadFrom(file, FuzzStubLength(data, size), stubTarget.c_str(), silent) ==
                    ExtractResult::Complete,
                "what verify accepts, the stub extracts completely");
    }

    for (bool force : {false, true}) {
        ExtractRequest request;
        request.installer = installerPath;
        request.stubLength = FuzzStubLength(data, size);
        request.directory = target;
        request.force = force;
        CTerminalProgress silent(false);
        std::string warning;
        CommandResult result = ExtractInstaller(request, silent, warning);

        std::vector<std::string> rootNames = ListNames(root);
        for (const std::string& name : rootNames) {
            Require(name == "installer.exe" || name == "target" || name == "stub-target" ||
                        name == "reader-input.exe",
                    "nothing is written outside the target directory");
        }
        if (!force && !layout.IsComplete()) {
            Require(result.status == ExitBadInput && ListNames(root).size() == 1,
                    "a damaged installer is refused whole");
        }
        if (layout.IsComplete()) {
            Require(!result.Failed() && warning.empty(), "a complete installer extracts without complaint");
            Require(ListNames(target).size() == ListNames(stubTarget).size(),
                    "sfxpack extracts the entries the stub does");
            for (const std::string& name : ListNames(stubTarget)) {
                Require(ReadWholeFile(JoinPath(target, name)) == ReadWholeFile(JoinPath(stubTarget, name)),
                        "sfxpack extracts what the stub does, byte for byte");
            }
        }
        CheckTarget(target, installer, layout);
        RemoveTarget(target);
    }
    RemoveTarget(stubTarget);
    return 0;
}
