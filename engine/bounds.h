// engine/bounds.h: where an installer's payload ends: at the end of the file, or at the
// Authenticode signature's certificate table that a signing tool appended.
#pragma once

#include <stdint.h>

#include "platform/system/file.h"

// An Authenticode signature: a certificate table at the end of the file, named by the
// security entry of the PE header's data directories (a file offset, not an address).
// The signing tool first pads the file with zeros to a multiple of eight.
// A security entry of zeros (or no PE header) means unsigned, whatever the header counts; any
// other claims a signature, which only a well-formed table that ends the file can keep.
enum class Signature {
    None,      // unsigned: no PE header, or a security entry of zeros
    AtEnd,     // a WIN_CERTIFICATE table of PKCS#7 signed data that ends the file exactly
    Misplaced, // a signature claimed, but no such table ends the file: damage
};

struct PayloadBounds {
    int64_t fileLength = 0;
    // Where the payload ends: the certificate table's offset when the file is signed,
    // else the file's length.
    int64_t end = 0;
    Signature signature = Signature::None;
    int64_t tableOffset = 0; // the table the header names (AtEnd or Misplaced)
    int64_t tableSize = 0;
    int64_t directoryOffset = 0; // of the header's security entry, for tools that remove it
};

// A little-endian number of one to four bytes, as PE headers and the seal store them.
// Each file gets a copy of its own, fitted to its calls: 60 bytes less in the stub.
static inline uint32_t ReadLittleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// The four bytes of value, as ReadLittleEndian reads them back; for the tools that write
// PE headers and seals.
static inline void StoreLittleEndian(uint32_t value, unsigned char bytes[4]) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// Reads the PE header of an open file, each field checked against the file's length,
// and the header of the certificate table it names.
PayloadBounds FindPayloadBounds(CFileStream& file);

// The machine a Windows program is made for (IMAGE_FILE_MACHINE_*, 0x14C for 32-bit x86);
// 0 when the file is no program Windows starts: no PE header, or a DLL.
constexpr uint32_t MachineI386 = 0x14C;
uint32_t ReadProgramMachine(CFileStream& file);

// The file offset of the PE optional header's checksum field, for the tools that keep it
// true; -1 when the file has no PE header that holds one.
int64_t FindChecksumField(CFileStream& file);

// Fewer than eight zero bytes from position right up to a certificate table: the signing
// tool's alignment, not payload.
bool IsSigningPadding(CFileStream& file, const PayloadBounds& bounds, int64_t position);

// Reads count bytes at offset, only when they lie before limit.
bool ReadAt(CFileStream& file, int64_t limit, int64_t offset, unsigned char* bytes, int64_t count);
