// tools/sfxpack/unpack.cpp: "sfxpack extract". The entries the stub would extract are
// copied, as far as the file holds them, into a fresh directory beside the targets, and
// renamed into place only when all went well, so that a failure leaves nothing behind.
#include "tools/sfxpack/unpack.h"

#include <stdio.h>

#include "tools/sfxpack/inspect.h"
#include "tools/sfxpack/sysfile.h"

namespace {

const char ExtractUsage[] =
    "Usage: sfxpack extract [OPTION]... INSTALLER\n"
    "Unpack an installer's entries into a directory, under their fixed names (Setup.exe,\n"
    "Setup.jar, ...), exactly as the stub would; files of those names are replaced.\n"
    "\n"
    "Options:\n"
    "  -C, --directory DIR   extract into DIR, created when missing (default: the current\n"
    "                        directory)\n"
    "  -f, --force           extract a damaged installer too: each entry gets only the\n"
    "                        bytes the file really holds; the damage is reported as a\n"
    "                        warning\n"
    "      --stub-length N   the payload starts at byte N (for stubs without a seal)\n"
    "  -h, --help            show this help and exit\n"
    "\n"
    "The entries are written into a temporary directory inside DIR and moved into place\n"
    "only when all are complete; after a failure, DIR is as it was. A progress bar is\n"
    "shown on standard error when that is a terminal.\n";

constexpr int ProgressBarWidth = 40;
// The progress moves after each piece of this size: often enough to be seen moving, and
// each piece is still a long copy.
constexpr int64_t ProgressPiece = 4 << 20;

// The directory the entries are first written into, with everything in it removed when
// it goes unless Keep() was called.
class CStagingDirectory {
  public:
    CStagingDirectory() = default;
    ~CStagingDirectory() {
        std::string systemPath;
        if (!m_path.empty() && ToSystemPath(m_path, systemPath)) {
            DeleteEntryFiles(systemPath.c_str());
        }
    }
    CStagingDirectory(const CStagingDirectory&) = delete;
    CStagingDirectory& operator=(const CStagingDirectory&) = delete;

    bool Create(const std::string& inside) {
        return CreateBeside(JoinPath(inside, ".extract"), m_path, MakeNewDirectory);
    }
    const std::string& GetPath() const { return m_path; }

  private:
    std::string m_path; // empty until created
};

// The target directory; one that this run created goes again when the run fails.
class CTargetDirectory {
  public:
    explicit CTargetDirectory(const std::string& path) : m_path(path) {}
    ~CTargetDirectory() {
        if (m_created && !m_kept) {
            RemoveEmptyDirectory(m_path);
        }
    }
    CTargetDirectory(const CTargetDirectory&) = delete;
    CTargetDirectory& operator=(const CTargetDirectory&) = delete;

    CommandResult Prepare() {
        FileInfo info;
        if (GetPathInfo(m_path, info)) {
            return info.isDirectory ? Succeed() : Fail(ExitIoError, "%s: not a directory", m_path.c_str());
        }
        m_created = MakeNewDirectory(m_path);
        return m_created ? Succeed()
                         : Fail(ExitIoError, "%s: %s", m_path.c_str(), GetSystemErrorText().c_str());
    }
    void Keep() { m_kept = true; }

  private:
    std::string m_path;
    bool m_created = false;
    bool m_kept = false;
};

// Writes one entry as the stub would: what the file holds of it, into a file of its own
// name in directory. The progress counts the file up to the payload's end, stub included,
// as the stub's does. Not ExtractPayloadFrom's loop: CopyRange moves the bytes inside the
// kernel, and the stub must not link it.
bool WriteEntryFile(CFileStream& installer, const PayloadEntry& entry, int32_t total,
                    const std::string& directory, CExtractProgress& progress) {
    CFileStream output;
    if (!OpenFile(output, JoinPath(directory, EntryFileName(entry.index)), CFileStream::modeWrite)) {
        return false;
    }
    for (int64_t done = 0; done < entry.available; done += ProgressPiece) {
        const int64_t piece = entry.available - done < ProgressPiece ? entry.available - done : ProgressPiece;
        if (!output.CopyRange(installer, entry.offset + done, piece)) {
            return false;
        }
        progress.OnPosition(ProgressPercent(static_cast<int32_t>(entry.offset + done + piece), total));
    }
    return output.Close();
}

// Writes the entries the stub would extract, at the offsets of the stub's own walk.
bool CopyEntries(CFileStream& installer, int32_t stubLength, const std::string& directory,
                 CExtractProgress& progress) {
    CPayloadWalk walk(installer, stubLength);
    if (!walk.HasPayload()) {
        return true;
    }
    const int32_t total = static_cast<int32_t>(walk.GetBounds().end);
    progress.OnBegin();
    bool copied = true;
    PayloadEntry entry;
    while (copied && walk.Next(entry)) {
        copied = WriteEntryFile(installer, entry, total, directory, progress);
    }
    if (copied) {
        progress.OnPosition(100);
    }
    progress.OnEnd();
    return copied;
}

// Moves what CopyEntries wrote from staging into the target directory.
CommandResult MoveEntries(const std::string& staging, const std::string& directory) {
    for (int k = 0; k < PayloadEntryCount; ++k) {
        const char* name = PayloadEntryTable[k] + 1;
        FileInfo info;
        if (GetPathInfo(JoinPath(staging, name), info) &&
            !RenameReplacing(JoinPath(staging, name), JoinPath(directory, name))) {
            return Fail(ExitIoError, "%s: %s", JoinPath(directory, name).c_str(),
                        GetSystemErrorText().c_str());
        }
    }
    return Succeed();
}

} // namespace

void CTerminalProgress::OnBegin() {}

void CTerminalProgress::OnPosition(int percent) {
    if (!m_enabled || percent == m_shown) {
        return;
    }
    m_shown = percent;
    int filled = percent * ProgressBarWidth / 100;
    fprintf(stderr, "\rextracting [%.*s%*s] %3d%%", filled, "########################################",
            ProgressBarWidth - filled, "", percent);
    fflush(stderr);
}

void CTerminalProgress::OnEnd() {
    if (m_enabled && m_shown >= 0) {
        fputc('\n', stderr);
    }
}

CommandResult ExtractInstaller(const ExtractRequest& request, CExtractProgress& progress,
                               std::string& warning) {
    CFileStream program;
    PayloadLayout layout;
    CommandResult result = OpenInstaller(request.installer, request.stubLength, program, layout);
    if (result.Failed()) {
        return result;
    }
    if (!layout.IsComplete() && !request.force) {
        return Fail(ExitBadInput, "%s: %s; nothing extracted (--force extracts what is there)",
                    request.installer.c_str(), DescribeProblem(layout).c_str());
    }
    warning = layout.IsComplete() ? std::string() : request.installer + ": " + DescribeProblem(layout);

    CTargetDirectory target(request.directory);
    result = target.Prepare();
    if (result.Failed()) {
        return result;
    }
    CStagingDirectory staging;
    if (!staging.Create(request.directory)) {
        return Fail(ExitIoError, "%s: cannot create a directory in it: %s", request.directory.c_str(),
                    GetSystemErrorText().c_str());
    }
    if (!CopyEntries(program, layout.stubLength, staging.GetPath(), progress)) {
        return Fail(ExitIoError, "%s: cannot write the entries: %s", request.directory.c_str(),
                    GetSystemErrorText().c_str());
    }
    result = MoveEntries(staging.GetPath(), request.directory);
    if (!result.Failed()) {
        target.Keep();
    }
    return result;
}

CommandResult RunExtract(const Arguments& args) {
    CArgumentScanner scanner("extract", args);
    InstallerOptions options;
    ExtractRequest request;
    request.directory = ".";
    while (scanner.Next()) {
        if (scanner.IsFlag("--help", "-h")) {
            return ShowHelp(ExtractUsage);
        }
        if (scanner.IsFlag("--force", "-f")) {
            request.force = true;
        } else if (!scanner.TakeValue("--directory", "-C", request.directory) &&
                   !TakeInstallerOption(scanner, options)) {
            return scanner.Unexpected();
        }
    }
    CommandResult given = CheckInstallerGiven(scanner, options);
    if (given.Failed()) {
        return given;
    }
    request.installer = options.installer;
    request.stubLength = options.stubLength;
    CTerminalProgress progress(IsTerminal(2));
    std::string warning;
    CommandResult result = ExtractInstaller(request, progress, warning);
    if (!result.Failed() && !warning.empty()) {
        fprintf(stderr, "sfxpack: warning: %s; extracted what is there\n", warning.c_str());
    }
    return result;
}
