// tools/sfxpack/unpack.h: "sfxpack extract": an installer's entries into a directory,
// byte for byte what the stub would write.
#pragma once

#include <string>

#include "engine/progress.h"
#include "tools/sfxpack/cli.h"

struct ExtractRequest {
    std::string installer;
    long long stubLength = -1; // negative: read the seal
    std::string directory;
    bool force = false; // extract a damaged installer too, as far as it goes
};

// Extracts into a fresh directory inside request.directory (created when missing) and
// moves the entries into place only when all went well; on failure nothing is left.
// warning receives the damage that --force passed over.
CommandResult ExtractInstaller(const ExtractRequest& request, CExtractProgress& progress,
                               std::string& warning);

// A progress bar on standard error, drawn only when that is a terminal.
class CTerminalProgress : public CExtractProgress {
  public:
    explicit CTerminalProgress(bool enabled) : m_enabled(enabled) {}
    void OnBegin() override;
    void OnPosition(int percent) override;
    void OnEnd() override;

  private:
    bool m_enabled;
    int m_shown = -1; // the percentage on screen; -1 before the first
};
