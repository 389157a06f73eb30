// engine/bounds.cpp: where an installer's payload ends, from the PE header's security
// entry.
#include "engine/bounds.h"

namespace {

// The PE header, as far as the signature is concerned; every number is little-endian.
constexpr int64_t DosPeHeaderOffset = 0x3C; // where the DOS header keeps the PE header's offset
// From the start of the PE header: the signature, the COFF header and the optional
// header, whose data directories follow a count of them.
constexpr int OptionalHeader = 4 + 20;
constexpr uint32_t PeSignature = 0x00004550; // "PE\0\0"
// In the COFF header: the machine and the characteristics, of which one marks a DLL.
constexpr int CoffMachine = 4;
constexpr int CoffCharacteristics = 4 + 18;
constexpr uint32_t ImageFileDll = 0x2000;
constexpr uint32_t Pe32Magic = 0x10B;
constexpr uint32_t Pe32PlusMagic = 0x20B;
// In the optional header of either kind.
constexpr int OptionalChecksum = 64;
constexpr int Pe32Directories = 96;
constexpr int Pe32PlusDirectories = 112;
constexpr uint32_t SecurityDirectory = 4;
constexpr int DirectoryEntryLength = 8;
// Enough of the header to reach the security entry of either kind of optional header.
constexpr int PeHeaderLength =
    OptionalHeader + Pe32PlusDirectories + (SecurityDirectory + 1) * DirectoryEntryLength;
// A certificate table opens with a WIN_CERTIFICATE header: its length (header
// included), revision 2.0 and type PKCS_SIGNED_DATA. Wine's wintrust crashes on another
// type, and accepts another revision: both are checked here first.
constexpr int64_t CertificateHeaderLength = 8;
constexpr uint32_t CertificateRevisionType = 0x00020200; // wRevision, then wCertificateType
constexpr int64_t SigningAlignment = 8;

} // namespace

bool ReadAt(CFileStream& file, int64_t limit, int64_t offset, unsigned char* bytes, int64_t count) {
    return offset >= 0 && offset <= limit - count && file.Seek(offset) &&
           file.Read(bytes, static_cast<size_t>(count)) == static_cast<size_t>(count);
}

PayloadBounds FindPayloadBounds(CFileStream& file) {
    PayloadBounds bounds;
    file.SeekToEnd();
    bounds.fileLength = bounds.end = file.GetPosition();
    unsigned char header[PeHeaderLength];
    if (!ReadAt(file, bounds.fileLength, 0, header, 2) || header[0] != 'M' || header[1] != 'Z' ||
        !ReadAt(file, bounds.fileLength, DosPeHeaderOffset, header, 4)) {
        return bounds;
    }
    const int64_t peHeader = ReadLittleEndian(header, 4);
    if (!ReadAt(file, bounds.fileLength, peHeader, header, PeHeaderLength) ||
        ReadLittleEndian(header, 4) != PeSignature) {
        return bounds;
    }
    const uint32_t magic = ReadLittleEndian(header + OptionalHeader, 2);
    const int directories = magic == Pe32Magic ? Pe32Directories : Pe32PlusDirectories;
    const int entry = directories + static_cast<int>(SecurityDirectory) * DirectoryEntryLength;
    // The entry's place is read whatever the header says of its own size and of its count
    // of directories: Windows starts a program whose count leaves the entry out, so a
    // count lowered after signing would otherwise pass a changed file as unsigned.
    if (magic != Pe32Magic && magic != Pe32PlusMagic) {
        return bounds;
    }
    const unsigned char* table = header + OptionalHeader + entry;
    bounds.tableOffset = ReadLittleEndian(table, 4);
    bounds.tableSize = ReadLittleEndian(table + 4, 4);
    if (bounds.tableOffset == 0 && bounds.tableSize == 0) {
        return bounds;
    }
    bounds.directoryOffset = peHeader + OptionalHeader + entry;
    // Both are 32-bit values: their sum cannot overflow here.
    const bool atEnd = bounds.tableOffset + bounds.tableSize == bounds.fileLength &&
                       ReadAt(file, bounds.fileLength, bounds.tableOffset, header, CertificateHeaderLength) &&
                       ReadLittleEndian(header + 4, 4) == CertificateRevisionType;
    const int64_t certificateLength = ReadLittleEndian(header, 4);
    if (!atEnd || certificateLength <= CertificateHeaderLength || certificateLength > bounds.tableSize) {
        bounds.signature = Signature::Misplaced;
        return bounds;
    }
    bounds.signature = Signature::AtEnd;
    bounds.end = bounds.tableOffset;
    return bounds;
}

uint32_t ReadProgramMachine(CFileStream& file) {
    file.SeekToEnd();
    const int64_t length = file.GetPosition();
    unsigned char header[OptionalHeader];
    if (!ReadAt(file, length, 0, header, 2) || header[0] != 'M' || header[1] != 'Z' ||
        !ReadAt(file, length, DosPeHeaderOffset, header, 4) ||
        !ReadAt(file, length, ReadLittleEndian(header, 4), header, OptionalHeader) ||
        ReadLittleEndian(header, 4) != PeSignature ||
        (ReadLittleEndian(header + CoffCharacteristics, 2) & ImageFileDll) != 0) {
        return 0;
    }
    return ReadLittleEndian(header + CoffMachine, 2);
}

int64_t FindChecksumField(CFileStream& file) {
    file.SeekToEnd();
    const int64_t length = file.GetPosition();
    unsigned char header[OptionalHeader + 2];
    if (!ReadAt(file, length, 0, header, 2) || header[0] != 'M' || header[1] != 'Z' ||
        !ReadAt(file, length, DosPeHeaderOffset, header, 4)) {
        return -1;
    }
    const int64_t peHeader = ReadLittleEndian(header, 4);
    const int64_t field = peHeader + OptionalHeader + OptionalChecksum;
    if (!ReadAt(file, length, peHeader, header, OptionalHeader + 2) ||
        ReadLittleEndian(header, 4) != PeSignature || field + 4 > length) {
        return -1;
    }
    const uint32_t magic = ReadLittleEndian(header + OptionalHeader, 2);
    return magic == Pe32Magic || magic == Pe32PlusMagic ? field : -1;
}

bool IsSigningPadding(CFileStream& file, const PayloadBounds& bounds, int64_t position) {
    const int64_t count = bounds.end - position;
    unsigned char bytes[SigningAlignment];
    if (bounds.signature != Signature::AtEnd || count <= 0 || count >= SigningAlignment ||
        !ReadAt(file, bounds.fileLength, position, bytes, count)) {
        return false;
    }
    for (int64_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}
