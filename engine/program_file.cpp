// engine/program_file.cpp: finding the program file and reading its title.
#include "engine/program_file.h"

#include "engine/payload.h"
#include "engine/seal.h"
#include "platform/system/filesystem.h"
#include "platform/system/process.h"
#include "platform/system/text.h"

namespace {

// About two seconds in all for another program to let go of the installer.
constexpr int ProgramOpenAttempts = 20;
constexpr DWORD ProgramOpenPause = 100;

} // namespace

ProgramFileResult OpenProgramFile(ProgramFile& program) {
    CString ansiPath;
    if (!GetAnsiPath(GetModulePath(), ansiPath)) {
        return ProgramFileResult::Unnamed;
    }
    // A virus scanner or a sync client may hold a new download for a moment.
    for (int attempt = 0; attempt < ProgramOpenAttempts; ++attempt) {
        if (program.stream.Open(ansiPath, CFileStream::modeRead)) {
            // Renamed and replaced before this open, it would be another installer:
            // this process's sealed digest, title check and signature check would then
            // vouch for a payload it never carried.
            if (!IsRunningImage(program.stream)) {
                return ProgramFileResult::Replaced;
            }
            program.bounds = FindPayloadBounds(program.stream);
            return ProgramFileResult::Opened;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            return ProgramFileResult::NotOpened;
        }
        Sleep(ProgramOpenPause);
    }
    return ProgramFileResult::InUse;
}

CString ReadInstallTitle(CFileStream& stream, const PayloadBounds& bounds, int32_t stubLength) {
    CPayloadReader reader(stream, bounds, stubLength);
    if (bounds.end == stubLength || IsSigningPadding(stream, bounds, stubLength)) {
        return "NO INSTALL DATA FOUND";
    }
    char title[TitleFieldLength];
    reader.ReadTitle(title);
    return CString(title, TitleFieldLength);
}

CString GetInstallTitle(ProgramFile& program) {
    // Through OwnSeal, as the extraction reads the seal: one reference to it in the stub.
    return program.stream.IsOpen() ? ReadInstallTitle(program.stream, program.bounds, OwnSeal.length)
                                   : CString("UNKNOWN");
}
