// engine/layout.cpp: the entries' names and the length fields.
#include "engine/layout.h"

#include "platform/cstring.h"
#include "platform/process.h"

const char* const PayloadEntryTable[PayloadEntryCount] = {
    SFX_PATH_SEPARATOR "Setup.exe", SFX_PATH_SEPARATOR "Setup.jar", SFX_PATH_SEPARATOR "setup.aux",
    SFX_PATH_SEPARATOR "setup.cls", SFX_PATH_SEPARATOR "knxf.dat",  SFX_PATH_SEPARATOR "knxr.dat",
    SFX_PATH_SEPARATOR "knxl.dat",
};

namespace {

constexpr unsigned char DigitBias = 10;

// The pauses between deletions of held files, doubling: 50 ms to 1.6 s, 3.15 s in all.
constexpr DWORD FirstDeletePause = 50;
constexpr DWORD LastDeletePause = 1600;

int32_t IntPower(int32_t base, int32_t exponent) {
    // Unsigned arithmetic wraps the way the 32-bit product does, without overflow.
    uint32_t result = 1;
    for (int32_t i = 0; i < exponent; ++i) {
        result *= static_cast<uint32_t>(base);
    }
    return static_cast<int32_t>(result);
}

} // namespace

void DeleteEntryFiles(const char* folder) {
    // A virus scanner or an indexer may still hold a file for a moment: tried again, after
    // ever longer pauses, for a few seconds in all; what is held longer stays.
    for (DWORD pause = FirstDeletePause;; pause *= 2) {
        bool deleted = true;
        for (const char* name : PayloadEntryTable) {
            deleted =
                (DeleteFileA(CString(folder) + name) || GetLastError() == ERROR_FILE_NOT_FOUND) && deleted;
        }
        if (deleted || pause > LastDeletePause) {
            break;
        }
        Sleep(pause);
    }
    RemoveDirectoryA(folder);
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
