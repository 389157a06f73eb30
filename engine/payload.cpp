// engine/payload.cpp: finding the program file and reading the payload's fixed parts.
#include "engine/payload.h"

#include <stdlib.h>

#include "platform/process.h"
#include "platform/system.h"

const char* const PayloadEntryTable[PayloadEntryCount] = {
    "\\Setup.exe", "\\Setup.jar", "\\setup.aux", "\\setup.cls", "\\knxf.dat", "\\knxr.dat", "\\knxl.dat",
};

namespace {

constexpr unsigned char DigitBias = 10;

// About two seconds in all for another program to let go of the installer.
constexpr int ProgramOpenAttempts = 20;
constexpr DWORD ProgramOpenPause = 100;

} // namespace

// --- Layout -----------------------------------------------------------------------

int32_t IntPower(int32_t base, int32_t exponent) {
    // Unsigned arithmetic wraps the way the 32-bit product does, without overflow.
    uint32_t result = 1;
    for (int32_t i = 0; i < exponent; ++i) {
        result *= static_cast<uint32_t>(base);
    }
    return static_cast<int32_t>(result);
}

int32_t DecodeEntryLength(const unsigned char field[LengthFieldDigits]) {
    uint32_t sum = 0;
    for (int k = 0; k < LengthFieldDigits; ++k) {
        uint32_t digit = static_cast<uint32_t>(field[k]) - DigitBias;
        sum += digit * static_cast<uint32_t>(IntPower(10, LengthFieldDigits - 1 - k));
    }
    return static_cast<int32_t>(sum);
}

void EncodeEntryLength(int32_t length, unsigned char field[LengthFieldDigits]) {
    uint32_t rest = static_cast<uint32_t>(length);
    for (int k = LengthFieldDigits - 1; k >= 0; --k) {
        field[k] = static_cast<unsigned char>(rest % 10 + DigitBias);
        rest /= 10;
    }
}

// --- Reading the program file ------------------------------------------------------

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
    return program.IsOpen() ? ReadInstallTitle(program, StubLength) : CString("UNKNOWN");
}

CString GetEnvironmentText(const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? value : "";
}
