// fuzz/properties.cpp: the checks of fuzz/properties.h.
#include "fuzz/properties.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "tests/support.h"
#include "tools/sfxpack/unpack.h"

namespace fs = std::filesystem;

namespace {

void Check(const char*& failed, bool holds, const char* property) {
    failed = failed == nullptr && !holds ? property : failed;
}

} // namespace

const char* CheckLayout(const PayloadLayout& layout) {
    const char* failed = nullptr;
    const bool complete = layout.IsComplete();
    Check(failed,
          layout.entryCount >= (complete ? RequiredEntryCount : 0) && layout.entryCount <= PayloadEntryCount,
          "at most seven entries, and six or seven in a complete payload");
    int64_t end = static_cast<int64_t>(layout.stubLength) + TitleFieldLength; // of the last entry
    for (int k = 0; k < layout.entryCount; ++k) {
        const PayloadEntry& entry = layout.entries[k];
        Check(failed, entry.offset == end + LengthFieldDigits, "each entry follows its length field");
        const int64_t declared = entry.declared > 0 ? entry.declared : 0; // as the stub reads it
        Check(failed, entry.available >= 0 && entry.available <= declared,
              "no entry holds more than declared");
        Check(failed, entry.offset + entry.available <= layout.bounds.end,
              "every entry lies inside the payload");
        end = entry.offset + declared;
    }
    const int64_t rest = layout.bounds.end - end;
    Check(failed,
          !complete || rest == 0 || (layout.bounds.signature == Signature::AtEnd && rest > 0 && rest < 8),
          "a complete payload ends at the payload's end, or at a signature's padding");
    const std::string problem = DescribeProblem(layout);
    Check(failed, problem.empty() == complete, "a problem is described exactly when there is one");
    Check(failed, problem.find('\n') == std::string::npos, "a problem is one line");
    return failed;
}

const char* CheckReaders(const std::string& path, const PayloadLayout& layout, const std::string& scratch,
                         StubExtraction& stub) {
    const fs::path root = fs::u8path(scratch);
    const Files before = ReadDirectory(scratch);
    ProgramFile file;
    if (!OpenProgram(path, file)) {
        return "the installer opens";
    }
    const CString title = ReadInstallTitle(file.stream, file.bounds, layout.stubLength);
    CProgressRecord progress;
    fs::create_directory(root / "stub");
    stub.result = ExtractPayloadFrom(file, layout.GetSeal(), (root / "stub").u8string().c_str(), progress);
    stub.files = ReadDirectory(scratch + "/stub");
    struct Extracted {
        CommandResult result;
        bool made, quiet;
        Files files;
    };
    auto Extract = [&](const char* target, bool force) {
        CTerminalProgress silent(false);
        std::string warning;
        const CommandResult result =
            ExtractInstaller({path, layout.stubLength, (root / target).u8string(), force}, silent, warning);
        return Extracted{result, fs::exists(root / target), warning.empty(),
                         ReadDirectory(scratch + "/" + target)};
    };
    const Extracted plain = Extract("plain", false), forced = Extract("forced", true);
    Files after = ReadDirectory(scratch);
    for (const char* target : {"stub", "plain", "forced"}) {
        fs::remove_all(root / target);
        after.erase(target);
    }

    const char* failed = nullptr;
    const bool complete = layout.IsComplete();
    const std::string installer = ReadFileBytes(path);
    Check(failed, after == before, "nothing is written outside the target directories");
    // A title cut by the payload's end shows blanks for the rest.
    std::string listed = layout.title;
    if (layout.problem == LayoutProblem::TitleCut) {
        listed = installer.substr(layout.stubLength, layout.bounds.end - layout.stubLength);
        listed.resize(TitleFieldLength, ' ');
    }
    const std::string shown(title.GetString(), title.GetLength());
    Check(failed,
          layout.problem == LayoutProblem::NoPayload ? shown == "NO INSTALL DATA FOUND"
                                                     : listed.empty() || shown == listed,
          "the stub shows the title list shows, blanks where the payload ends");
    Check(failed, !complete || stub.result == ExtractResult::Complete,
          "the stub extracts what verify accepts, its digest matching");
    Check(failed, layout.problem != LayoutProblem::DigestMismatch || stub.result == ExtractResult::BadDigest,
          "the stub refuses a payload whose digest verify finds changed");
    Check(failed, stub.result != ExtractResult::BadDigest || (layout.hasDigest && !complete),
          "the stub finds a changed digest only where verify does");
    Check(failed, complete || (plain.result.status == ExitBadInput && !plain.made),
          "a damaged installer is refused whole");
    Check(failed, !complete || (!plain.result.Failed() && plain.quiet && plain.files == stub.files),
          "a complete installer extracts without complaint, as the stub does");
    Check(failed, !forced.result.Failed() && forced.files == stub.files,
          "extract --force writes what the stub writes");
    // Where verify walks every length field, it lists the entries the stub writes.
    const LayoutProblem walked[] = {LayoutProblem::None, LayoutProblem::FieldCut, LayoutProblem::EntryCut,
                                    LayoutProblem::TrailingBytes, LayoutProblem::DigestMismatch};
    Check(failed,
          std::count(std::begin(walked), std::end(walked), layout.problem) == 0 ||
              stub.files.size() == static_cast<size_t>(layout.entryCount),
          "the stub writes the entries verify lists");
    size_t entries = 0;
    for (int k = 0; k < PayloadEntryCount; ++k) {
        const auto written = stub.files.find(EntryFileName(k));
        const PayloadEntry& entry = layout.entries[k];
        entries += written != stub.files.end() ? 1 : 0;
        if (written != stub.files.end() && k < layout.entryCount) {
            const size_t size = written->second.size();
            Check(failed,
                  size <= static_cast<size_t>(entry.declared) && entry.offset + size <= installer.size() &&
                      installer.compare(static_cast<size_t>(entry.offset), size, written->second) == 0,
                  "each entry is the installer's bytes from its offset on, never more than declared");
            Check(failed, !complete || size == static_cast<size_t>(entry.declared),
                  "complete entries are whole");
        }
    }
    Check(failed, entries == stub.files.size(), "the entries are the only files written");
    return failed;
}
