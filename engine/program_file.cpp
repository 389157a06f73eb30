// engine/program_file.cpp: finding the program file and reading its title.
#include "engine/program_file.h"

#include "engine/bounds.h"
#include "engine/layout.h"
#include "platform/system.h"

CString ParseProgramPath(const char* commandLine) {
    const char* start = commandLine;
    char end = ' ';
    if (*start == '"') {
        ++start;
        end = '"';
    }
    const char* stop = start;
    while (*stop != '\0' && *stop != end) {
        ++stop;
    }
    // An opening quote without its partner names no file.
    if (end == '"' && *stop == '\0') {
        return CString();
    }
    return CString(start, static_cast<int>(stop - start));
}

ProgramFileResult OpenProgramFile(CFileStream& stream) {
    ProgramFileResult result = ProgramFileResult::NotOpened;
    const CString paths[] = {ParseProgramPath(GetCommandLineUtf8()), GetModulePath()};
    for (const CString& path : paths) {
        CString ansiPath;
        if (!GetAnsiPath(path, ansiPath)) {
            result = ProgramFileResult::Unnamed;
        } else if (stream.Open(ansiPath, CFileStream::modeRead)) {
            return ProgramFileResult::Opened;
        }
    }
    return result;
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

CString GetInstallTitle() {
    CFileStream stream;
    if (OpenProgramFile(stream) != ProgramFileResult::Opened) {
        return "UNKNOWN";
    }
    return ReadInstallTitle(stream, StubLength);
}
