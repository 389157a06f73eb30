// engine/program_file.cpp: finding the program file and reading its title.
#include "engine/program_file.h"

#include "engine/bounds.h"
#include "engine/layout.h"
#include "engine/seal.h"
#include "platform/process.h"
#include "platform/system.h"

namespace {

// About two seconds in all for another program to let go of the installer.
constexpr int ProgramOpenAttempts = 20;
constexpr DWORD ProgramOpenPause = 100;

} // namespace

ProgramFileResult OpenProgramFile(CFileStream& stream) {
    CString ansiPath;
    if (!GetAnsiPath(GetModulePath(), ansiPath)) {
        return ProgramFileResult::Unnamed;
    }
    // A virus scanner or a sync client may hold a new download for a moment.
    for (int attempt = 0; attempt < ProgramOpenAttempts; ++attempt) {
        if (stream.Open(ansiPath, CFileStream::modeRead)) {
            return ProgramFileResult::Opened;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            return ProgramFileResult::NotOpened;
        }
        Sleep(ProgramOpenPause);
    }
    return ProgramFileResult::InUse;
}

int32_t GetStreamLength(CFileStream& stream) {
    int64_t position = stream.GetPosition();
    stream.SeekToEnd();
    int64_t length = stream.GetPosition();
    stream.Seek(position);
    return static_cast<int32_t>(length);
}

CString ReadTitleField(CFileStream& stream) {
    char field[TitleFieldLength];
    size_t got = stream.Read(field, TitleFieldLength);
    for (size_t i = got; i < TitleFieldLength; ++i) {
        field[i] = ' ';
    }
    return CString(field, TitleFieldLength);
}

CString ReadInstallTitle(CFileStream& stream, int32_t stubLength) {
    const PayloadBounds bounds = FindPayloadBounds(stream);
    if (bounds.end == stubLength || IsSigningPadding(stream, bounds, stubLength)) {
        return "NO INSTALL DATA FOUND";
    }
    stream.Seek(stubLength);
    CString title = ReadTitleField(stream);
    // A signed file's certificate table is no part of the title.
    for (int64_t i = bounds.end - stubLength; i >= 0 && i < TitleFieldLength; ++i) {
        title.SetAt(static_cast<int>(i), ' ');
    }
    return title;
}

CString GetInstallTitle(CFileStream& program) {
    // Through OwnSeal, as the extraction reads the seal: one reference to it in the stub.
    return program.IsOpen() ? ReadInstallTitle(program, OwnSeal.length) : CString("UNKNOWN");
}
