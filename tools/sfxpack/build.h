// tools/sfxpack/build.h: "sfxpack build": a stub, a title and up to seven files become
// one installer.
#pragma once

#include <string>
#include <vector>

#include "tools/sfxpack/cli.h"
#include "tools/sfxpack/title.h"

struct BuildRequest {
    std::string stub;
    std::string title; // UTF-8
    std::string output;
    std::vector<std::string> files;      // entries 1, 2, ... in PayloadEntryTable order
    unsigned codePage = DefaultCodePage; // of the title field
    bool rawStub = false;                // take the stub as it is, sealed or not
};

// Writes the installer to a file beside request.output and renames it into place when it
// is complete; on any failure nothing is left behind. note, when given, receives what the
// user should know of a success: that a signed stub's signature was left out; warning,
// that the first file is no program the stub can start on every Windows it runs on.
CommandResult BuildInstallerFile(const BuildRequest& request, std::string* note = nullptr,
                                 std::string* warning = nullptr);

CommandResult RunBuild(const Arguments& args);
