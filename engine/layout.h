// engine/layout.h: the installer file's payload as the stub reads it. The stub program is
// followed directly by a 40-byte title field and up to seven entries, each a 10-byte
// length field and that many bytes of data.
#pragma once

#include <stdint.h>

// Length of the stub program file, and so the offset of the payload. The build stores
// the linked file's real length here (engine/seal.h).
extern const volatile int32_t& StubLength;

// What a stub's seal tells of its installer: where the payload starts and, from stubs
// that carry one, the CRC-32 of the payload as it was built: the title field and every
// length field and entry, up to the payload's end.
struct PayloadSeal {
    int32_t stubLength = 0;
    bool hasDigest = false;
    uint32_t digest = 0;
};

constexpr int TitleFieldLength = 40;
constexpr int LengthFieldDigits = 10;
constexpr int PayloadEntryCount = 7;
// Entries 1 to 6 are always present; entry 7 only when bytes follow entry 6.
constexpr int RequiredEntryCount = 6;
constexpr int CopyBlockSize = 1024;

// What separates a folder from the names in it: Windows's backslash in the stub, the
// host's slash where the engine runs natively.
#ifdef _WIN32
#define SFX_PATH_SEPARATOR "\\"
#else
#define SFX_PATH_SEPARATOR "/"
#endif

// The names the entries are written under, in payload order, each with its separator.
extern const char* const PayloadEntryTable[PayloadEntryCount];

// Deletes every entry's file from folder, written or not, and then folder when that left
// it empty: what the stub and sfxpack extracted goes, anything else stays, and with it
// the folder. A file held open by another program is tried again for about three
// seconds, then left. folder is a name the 8-bit file functions take.
void DeleteEntryFiles(const char* folder);

// A length field stores each decimal digit d as the byte d + 10, most significant first.
// Decoding accepts any byte and wraps like 32-bit arithmetic, as the stub always has;
// encoding takes 0 to 2^31 - 1.
int32_t DecodeEntryLength(const unsigned char field[LengthFieldDigits]);
void EncodeEntryLength(int32_t length, unsigned char field[LengthFieldDigits]);
