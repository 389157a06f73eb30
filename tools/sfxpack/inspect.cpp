// tools/sfxpack/inspect.cpp: "sfxpack list" and "sfxpack verify": reading an installer's
// layout and showing it, as a table or as JSON, or checking that it is complete.
#include "tools/sfxpack/inspect.h"

#include <stdio.h>

#include "tools/sfxpack/pe_checksum.h"
#include "tools/sfxpack/title.h"

namespace {

const char ListUsage[] =
    "Usage: sfxpack list [OPTION]... INSTALLER\n"
    "Show the stub length, the signature, the digest, the title and the entries of an\n"
    "installer.\n"
    "\n"
    "For each entry: its number, the name it is extracted under, the offset of its data\n"
    "in the file and its length. The title is shown between double quotes, trailing\n"
    "blanks as stored. A signed installer's certificate table is shown with its offset\n"
    "and length; the payload ends where it begins. The digest is the payload's CRC-32 as\n"
    "the stub's seal records it, and whether the payload still has it.\n"
    "\n"
    "Options:\n"
    "      --json            print a JSON object instead of a table\n"
    "      --codepage CP     the code page the title is stored in (default 1252)\n"
    "      --stub-length N   the payload starts at byte N (for stubs without a seal;\n"
    "                        35328 is what an unsealed stub of ours claims)\n"
    "  -h, --help            show this help and exit\n"
    "\n"
    "A damaged installer is listed as far as it can be read; the damage is reported\n"
    "and the exit status is 2.\n"
    "\n"
    "A last line 'pe checksum' says that the checksum in the PE header is not the one\n"
    "the file's bytes give. Windows checks it only for drivers and system files, so\n"
    "the installer runs all the same; installers built by an older sfxpack carry the\n"
    "stub's stale one. Rebuilding, or signing, makes it true. It leaves the exit\n"
    "status as it is.\n";

const char VerifyUsage[] =
    "Usage: sfxpack verify [OPTION]... INSTALLER\n"
    "Check that an installer's payload is complete and consistent: every length field\n"
    "readable, every entry whole, nothing after the last one but a signature's padding\n"
    "and certificate table, which must end the file, and the payload's CRC-32 the one\n"
    "the stub's seal records, when it records one. Prints nothing and exits 0 when it\n"
    "is; otherwise prints one line saying what is wrong (and in which entry, where one\n"
    "is concerned), and exits 2. A signature is judged by its form only (a\n"
    "WIN_CERTIFICATE of PKCS#7 signed data that ends the file), as the stub judges it\n"
    "before asking Windows: its digest is not checked.\n"
    "\n"
    "In a complete installer, a checksum in the PE header that is not the one the\n"
    "file's bytes give is noted on standard error ('sfxpack: note: ...'), without\n"
    "changing the exit status: Windows checks it only for drivers and system files,\n"
    "and installers built by an older sfxpack carry the stub's stale one. Rebuilding,\n"
    "or signing, makes it true.\n"
    "\n"
    "Options:\n"
    "      --stub-length N   the payload starts at byte N (for stubs without a seal)\n"
    "  -h, --help            show this help and exit\n";

// The text between double quotes: quotes and backslashes escaped, control bytes (and,
// with escapeHigh, bytes beyond ASCII) written with escapeFormat.
std::string QuoteText(const std::string& text, const char* escapeFormat, bool escapeHigh) {
    std::string quoted = "\"";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && escapeHigh)) {
            quoted += FormatText(escapeFormat, byte);
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// A text as a JSON string: UTF-8 passes, anything else is escaped byte by byte.
std::string JsonString(const std::string& text) {
    std::vector<Utf8Char> chars;
    size_t bad = 0;
    return QuoteText(text, "\\u%04x", !SplitUtf8(text, chars, bad));
}

// The title as list shows it.
std::string QuotedTitle(const std::string& title) { return QuoteText(title, "\\x%02X", false); }

// Where the certificate table lies, for the table's "signature" line.
std::string DescribeSignature(const PayloadBounds& bounds) {
    if (bounds.signature == Signature::None) {
        return "none";
    }
    return FormatText("certificate table at %lld, %lld bytes%s", static_cast<long long>(bounds.tableOffset),
                      static_cast<long long>(bounds.tableSize),
                      bounds.signature == Signature::AtEnd ? " (its digest is not checked here)"
                                                           : ", not a well-formed table ending the file");
}

std::string SignatureAsJson(const PayloadBounds& bounds) {
    if (bounds.signature == Signature::None) {
        return "null";
    }
    return FormatText("{\"table_offset\": %lld, \"table_length\": %lld, \"ends_file\": %s}",
                      static_cast<long long>(bounds.tableOffset), static_cast<long long>(bounds.tableSize),
                      bounds.signature == Signature::AtEnd ? "true" : "false");
}

// The digest's line: what the seal records, and whether the payload has it.
std::string DescribeDigest(const PayloadLayout& layout) {
    if (!layout.hasDigest) {
        return "none";
    }
    std::string text = FormatText("crc-32 %08lx", static_cast<unsigned long>(layout.sealedDigest));
    if (!layout.digestRead) {
        return text + ", not checked: the payload cannot be walked to its end";
    }
    return text + (layout.digest == layout.sealedDigest
                       ? ", matches"
                       : FormatText(", does not match: the payload's is %08lx",
                                    static_cast<unsigned long>(layout.digest)));
}

std::string DigestAsJson(const PayloadLayout& layout) {
    if (!layout.hasDigest) {
        return "null";
    }
    return FormatText("{\"algorithm\": \"crc-32\", \"sealed\": \"%08lx\", \"payload\": ",
                      static_cast<unsigned long>(layout.sealedDigest)) +
           (layout.digestRead ? FormatText("\"%08lx\"", static_cast<unsigned long>(layout.digest)) : "null") +
           ", \"matches\": " +
           (layout.digestRead && layout.digest == layout.sealedDigest ? "true" : "false") + "}";
}

std::string ListingAsTable(const PayloadLayout& layout, unsigned codePage) {
    std::string text = FormatText("stub length  %ld\n", static_cast<long>(layout.stubLength));
    text += "signature    " + DescribeSignature(layout.bounds) + "\n";
    text += "digest       " + DescribeDigest(layout) + "\n";
    if (!layout.title.empty()) {
        text += "title        " + QuotedTitle(DecodeTitle(layout.title, codePage)) + "\n";
    }
    if (layout.entryCount > 0) {
        text += "entry  name           offset      length\n";
    }
    for (int k = 0; k < layout.entryCount; ++k) {
        const PayloadEntry& entry = layout.entries[k];
        text += FormatText("%5d  %-10s %10lld  %10ld", k + 1, EntryFileName(k),
                           static_cast<long long>(entry.offset), static_cast<long>(entry.declared));
        if (entry.available < entry.declared) {
            text += FormatText("  (only %lld present)", static_cast<long long>(entry.available));
        }
        text += "\n";
    }
    return text;
}

std::string ListingAsJson(const PayloadLayout& layout, const std::string& path, unsigned codePage) {
    std::string json = "{\n  \"installer\": " + JsonString(path) + ",\n";
    json += FormatText("  \"stub_length\": %ld,\n  \"file_length\": %lld,\n  \"payload_end\": %lld,\n",
                       static_cast<long>(layout.stubLength), static_cast<long long>(layout.bounds.fileLength),
                       static_cast<long long>(layout.bounds.end));
    json += "  \"signature\": " + SignatureAsJson(layout.bounds) + ",\n";
    json += "  \"digest\": " + DigestAsJson(layout) + ",\n";
    json +=
        "  \"title\": " + (layout.title.empty() ? "null" : JsonString(DecodeTitle(layout.title, codePage))) +
        ",\n";
    json += "  \"entries\": [";
    for (int k = 0; k < layout.entryCount; ++k) {
        const PayloadEntry& entry = layout.entries[k];
        json += k == 0 ? "\n" : ",\n";
        json += FormatText("    {\"number\": %d, \"name\": \"%s\", \"offset\": %lld, \"length\": %ld, "
                           "\"available\": %lld}",
                           k + 1, EntryFileName(k), static_cast<long long>(entry.offset),
                           static_cast<long>(entry.declared), static_cast<long long>(entry.available));
    }
    json += layout.entryCount > 0 ? "\n  ],\n" : "],\n";
    json += FormatText("  \"complete\": %s,\n", layout.IsComplete() ? "true" : "false");
    json +=
        "  \"problem\": " + (layout.IsComplete() ? "null" : JsonString(DescribeProblem(layout))) + "\n}\n";
    return json;
}

} // namespace

CommandResult ReportLayout(const std::string& path, const PayloadLayout& layout) {
    if (!layout.IsComplete()) {
        return Fail(ExitBadInput, "%s: %s", path.c_str(), DescribeProblem(layout).c_str());
    }
    return Succeed();
}

std::string FormatListing(const PayloadLayout& layout, const std::string& path, unsigned codePage,
                          bool json) {
    return json ? ListingAsJson(layout, path, codePage) : ListingAsTable(layout, codePage);
}

bool TakeInstallerOption(CArgumentScanner& scanner, InstallerOptions& options) {
    if (scanner.TakeNumber("--stub-length", 0, INT32_MAX, "a number of bytes from 0 to 2147483647",
                           options.stubLength)) {
        return true;
    }
    if (!scanner.IsOperand() || !options.installer.empty()) {
        return false;
    }
    options.installer = scanner.Current();
    return true;
}

CommandResult CheckInstallerGiven(const CArgumentScanner& scanner, const InstallerOptions& options) {
    if (scanner.Error().Failed()) {
        return scanner.Error();
    }
    if (options.installer.empty()) {
        return FailUsage(scanner.Command(), "no installer given");
    }
    return Succeed();
}

// list and verify read an installer alike; verify shows nothing but the problem.
CommandResult RunReader(const char* command, const char* usage, bool listing, const Arguments& args) {
    CArgumentScanner scanner(command, args);
    InstallerOptions options;
    bool json = false;
    long long codePage = DefaultCodePage;
    while (scanner.Next()) {
        if (scanner.IsFlag("--help", "-h")) {
            return ShowHelp(usage);
        }
        if (listing && scanner.IsFlag("--json")) {
            json = true;
        } else if (!(listing &&
                     scanner.TakeNumber("--codepage", 1, 65535, "a Windows code page number", codePage)) &&
                   !TakeInstallerOption(scanner, options)) {
            return scanner.Unexpected();
        }
    }
    CommandResult result = CheckInstallerGiven(scanner, options);
    CFileStream file;
    PayloadSeal seal;
    if (!result.Failed()) {
        result = OpenInstaller(options.installer, options.stubLength, file, seal);
    }
    if (result.Failed()) {
        return result;
    }
    PayloadLayout layout;
    ReadPayloadLayout(file, seal, layout);
    // A damaged payload changes the checksum too: only a whole installer's is noted.
    PeChecksum checksum;
    const bool stale = layout.IsComplete() && MeasurePeChecksum(file, checksum) && !checksum.IsTrue();
    const std::string staleText =
        FormatText("%08lx, not the file's %08lx", static_cast<unsigned long>(checksum.stored),
                   static_cast<unsigned long>(checksum.computed));
    if (listing) {
        fputs(FormatListing(layout, options.installer, static_cast<unsigned>(codePage), json).c_str(),
              stdout);
    }
    if (listing && !json && stale) {
        printf("pe checksum  %s (see --help)\n", staleText.c_str());
    } else if (!listing && stale) {
        fprintf(stderr,
                "sfxpack: note: %s: the PE checksum is %s; only drivers and system files need it "
                "(see 'sfxpack verify --help')\n",
                options.installer.c_str(), staleText.c_str());
    }
    return ReportLayout(options.installer, layout);
}

CommandResult RunList(const Arguments& args) { return RunReader("list", ListUsage, true, args); }

CommandResult RunVerify(const Arguments& args) { return RunReader("verify", VerifyUsage, false, args); }
