// tools/sfxpack/unpack.cpp: "sfxpack extract". Every name to be written is checked
// first; the entries the stub would extract are copied, as far as the file holds them,
// into a fresh directory beside the targets, then renamed into place with the files
// they replace kept aside until all are in, so that a failure leaves DIR as it was.
#include "tools/sfxpack/unpack.h"

#include <stdio.h>
#include <unistd.h>

#include "tools/sfxpack/inspect.h"
#include "tools/sfxpack/layout.h"
#include "tools/sfxpack/sysfile.h"
#include "tools/sfxpack/trailing_digest.h"

namespace {

const char ExtractUsage[] =
    "Usage: sfxpack extract [OPTION]... INSTALLER\n"
    "Unpack an installer's entries into a directory, under their fixed names (Setup.exe,\n"
    "Setup.jar, ...), exactly as the stub would; files of those names are replaced.\n"
    "Nothing is written when one of those names is the installer itself, a directory or\n"
    "no regular file.\n"
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
    "only when all are complete, the files they replace kept until the last is in; after\n"
    "a failure, DIR is as it was. A progress bar is shown on standard error when that is\n"
    "a terminal.\n";

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

// Writes each entry as the stub would, what the file holds of it, into a file of its own
// name in the staging directory, after checking the name it will take in the target
// directory: nothing is written unless every name can take its entry. The installer is
// compared by identity, not by name, since a link or another spelling of the path names
// it too. The progress counts the file up to the payload's end, stub included, as the
// stub's does.
class CStagingCopier : public CEntryCopier {
  public:
    // layout: the one the walk fills, whose bounds it knows before the first entry.
    CStagingCopier(CFileStream& installer, const PayloadLayout& layout, const ExtractRequest& request,
                   const std::string& staging, CExtractProgress& progress)
        : m_installer(installer), m_layout(layout), m_request(request), m_staging(staging),
          m_progress(progress) {}

    bool Copy(const PayloadEntry& entry, uint32_t* dataCrc) override {
        if (entry.index == 0) {
            m_progress.OnBegin();
        }
        m_result = CheckTarget(entry.index);
        if (!m_result.Failed() && !WriteEntryFile(entry, dataCrc)) {
            m_result = Fail(ExitIoError, "%s: cannot write the entries: %s", m_request.directory.c_str(),
                            GetSystemErrorText().c_str());
        }
        return !m_result.Failed();
    }
    const CommandResult& GetResult() const { return m_result; }

  private:
    CommandResult CheckTarget(int k) {
        FileInfo self;
        if (!m_installer.GetInfo(self)) {
            return Fail(ExitIoError, "%s: %s", m_request.installer.c_str(), GetSystemErrorText().c_str());
        }
        const std::string path = JoinPath(m_request.directory, EntryFileName(k));
        FileInfo info;
        if (!GetPathInfo(path, info)) {
            return Succeed();
        }
        if (IsSameFile(info, self)) {
            return Fail(ExitBadInput,
                        "%s is the installer %s itself; refusing to write over it (extract into "
                        "another directory with -C)",
                        path.c_str(), m_request.installer.c_str());
        }
        if (info.isDirectory || info.isSpecial) {
            return Fail(ExitIoError, "%s: is %s; nothing extracted", path.c_str(),
                        info.isDirectory ? "a directory" : "not a regular file");
        }
        return Succeed();
    }

    // The entry's CRC-32, when asked for, is taken from the staged file as written.
    bool WriteEntryFile(const PayloadEntry& entry, uint32_t* dataCrc) {
        CFileStream output;
        if (!OpenFile(output, JoinPath(m_staging, EntryFileName(entry.index)), CFileStream::modeWrite)) {
            return false;
        }
        const int32_t total = static_cast<int32_t>(m_layout.bounds.end);
        CTrailingDigest digest(output, dataCrc != nullptr ? 0 : -1, false, entry.available);
        for (int64_t done = 0; done < entry.available; done += ProgressPiece) {
            const int64_t piece =
                entry.available - done < ProgressPiece ? entry.available - done : ProgressPiece;
            const int64_t offset = entry.offset + done;
            if (!digest.CopyRange(m_installer, offset, piece)) {
                return false;
            }
            m_progress.OnPosition(ProgressPercent(static_cast<int32_t>(offset + piece), total));
        }
        CWordSum unused;
        uint32_t crc = 0;
        if (!digest.Finish(crc, unused)) {
            return false;
        }
        if (dataCrc != nullptr) {
            *dataCrc = crc;
        }
        return output.Close();
    }

    CFileStream& m_installer;        // borrowed
    const PayloadLayout& m_layout;   // borrowed
    const ExtractRequest& m_request; // borrowed
    std::string m_staging;
    CExtractProgress& m_progress; // borrowed
    CommandResult m_result;
};

// Puts the staged entries into the target directory one name at a time. A file an entry
// replaces is first moved aside into the staging directory, so that when a later name
// fails, every earlier one gets its own file back, or its absence.
class CPlacement {
  public:
    CPlacement(const std::string& staging, const std::string& directory)
        : m_staging(staging), m_directory(directory) {}

    CommandResult PlaceAll(int count) {
        for (int k = 0; k < count; ++k) {
            if (!Place(k)) {
                const std::string failed = Target(k) + ": " + GetSystemErrorText();
                return Undo(k, failed);
            }
        }
        for (int k = 0; k < count; ++k) {
            // A read-only file is replaced like any other: the name is the directory's.
            if (m_replaced[k] && ClearReadOnly(Aside(k))) {
                RemoveFile(Aside(k));
            }
        }
        return Succeed();
    }

  private:
    std::string Target(int k) const { return JoinPath(m_directory, EntryFileName(k)); }
    std::string Staged(int k) const { return JoinPath(m_staging, EntryFileName(k)); }
    std::string Aside(int k) const { return Staged(k) + ".replaced"; }

    bool Place(int k) {
        if (RenameReplacing(Target(k), Aside(k))) {
            m_replaced[k] = true;
        } else if (!IsNameMissing(GetLastError())) {
            return false;
        }
        return RenameReplacing(Staged(k), Target(k));
    }

    // Takes back the names 0 to failed, newest first; a file that cannot be put back is
    // named in the message, with where it is kept.
    CommandResult Undo(int failed, const std::string& cause) {
        std::string kept;
        for (int k = failed; k >= 0; --k) {
            const bool undone =
                m_replaced[k] ? RenameReplacing(Aside(k), Target(k)) : k == failed || RemoveFile(Target(k));
            if (!undone) {
                kept += "; " + Target(k) + " could not be put back: " + GetSystemErrorText() +
                        (m_replaced[k] ? ", its earlier file is " + Aside(k) : std::string());
            }
        }
        return Fail(ExitIoError, "%s; nothing extracted%s", cause.c_str(), kept.c_str());
    }

    std::string m_staging;
    std::string m_directory;
    bool m_replaced[PayloadEntryCount] = {}; // the name held a file, now aside
};

// A damaged installer without --force.
CommandResult RefuseDamaged(const ExtractRequest& request, const PayloadLayout& layout) {
    return Fail(ExitBadInput, "%s: %s; nothing extracted (--force extracts what is there)",
                request.installer.c_str(), DescribeProblem(layout).c_str());
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
    PayloadSeal seal;
    CommandResult result = OpenInstaller(request.installer, request.stubLength, program, seal);
    if (result.Failed()) {
        return result;
    }
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
    // One walk: the entries are staged as they are met, their digest taken on the way, and
    // nothing is moved into place unless the whole payload checks out.
    PayloadLayout layout;
    CStagingCopier copier(program, layout, request, staging.GetPath(), progress);
    const bool walked = ReadPayloadLayout(program, seal, layout, &copier);
    if (layout.entryCount > 0) {
        if (walked) {
            progress.OnPosition(100);
        }
        progress.OnEnd();
    }
    if (!walked) {
        return copier.GetResult();
    }
    if (!layout.IsComplete() && !request.force) {
        return RefuseDamaged(request, layout);
    }
    warning = layout.IsComplete() ? std::string() : request.installer + ": " + DescribeProblem(layout);
    result = CPlacement(staging.GetPath(), request.directory).PlaceAll(layout.entryCount);
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
    CTerminalProgress progress(isatty(2) != 0);
    std::string warning;
    CommandResult result = ExtractInstaller(request, progress, warning);
    if (!result.Failed() && !warning.empty()) {
        fprintf(stderr, "sfxpack: warning: %s; extracted what is there\n", warning.c_str());
    }
    return result;
}
