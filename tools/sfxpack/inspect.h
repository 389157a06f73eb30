// tools/sfxpack/inspect.h: the commands that read installers (list, verify, extract)
// and what they share: the installer operand and --stub-length.
#pragma once

#include <string>

#include "tools/sfxpack/cli.h"
#include "tools/sfxpack/layout.h"

struct InstallerOptions {
    std::string installer;
    long long stubLength = -1; // from --stub-length; negative: read the seal
};

// Takes the installer operand or --stub-length at the scanner's position; false when the
// argument is neither.
bool TakeInstallerOption(CArgumentScanner& scanner, InstallerOptions& options);
// After the scan: the scanner's error, or a usage error when no installer was named.
CommandResult CheckInstallerGiven(const CArgumentScanner& scanner, const InstallerOptions& options);
// ExitBadInput naming the installer and its first problem, when it has one.
CommandResult ReportLayout(const std::string& path, const PayloadLayout& layout);

// The listing of list, as a table or as JSON.
std::string FormatListing(const PayloadLayout& layout, const std::string& path, unsigned codePage, bool json);

CommandResult RunList(const Arguments& args);
CommandResult RunVerify(const Arguments& args);
CommandResult RunExtract(const Arguments& args);
