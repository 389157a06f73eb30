// engine/payload.cpp: reading the payload as the stub does: the entries' names, the
// length fields, the walk, and the entries' files after a run.
#include "engine/payload.h"

#include "platform/system/filesystem.h"
#include "platform/system/process.h"

const char* const PayloadEntryTable[PayloadEntryCount] = {
    SFX_PATH_SEPARATOR "Setup.exe", SFX_PATH_SEPARATOR "Setup.jar", SFX_PATH_SEPARATOR "setup.aux",
    SFX_PATH_SEPARATOR "setup.cls", SFX_PATH_SEPARATOR "knxf.dat",  SFX_PATH_SEPARATOR "knxr.dat",
    SFX_PATH_SEPARATOR "knxl.dat",
};

namespace {

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

int32_t DecodeEntryLength(const unsigned char field[LengthFieldDigits]) {
    uint32_t sum = 0;
    for (int k = 0; k < LengthFieldDigits; ++k) {
        uint32_t digit = static_cast<uint32_t>(field[k]) - LengthDigitBias;
        sum += digit * static_cast<uint32_t>(IntPower(10, LengthFieldDigits - 1 - k));
    }
    return static_cast<int32_t>(sum);
}

CPayloadReader::CPayloadReader(CFileStream& file, const PayloadBounds& bounds, int32_t stubLength,
                               Crc32Function digest)
    : m_file(file), m_bounds(bounds), m_stubLength(stubLength),
      m_position(static_cast<int64_t>(stubLength) + TitleFieldLength), m_digestFunction(digest) {}

bool CPayloadReader::HasPayload() {
    // Positions in the layout are signed 32-bit values.
    return m_stubLength >= 0 && m_bounds.end <= INT32_MAX && m_position < m_bounds.end &&
           !IsSigningPadding(m_file, m_bounds, m_position);
}

void CPayloadReader::ReadTitle(char title[TitleFieldLength]) {
    const int64_t present = m_bounds.end - m_stubLength;
    size_t got = 0;
    if (present > 0 && m_file.Seek(m_stubLength)) {
        got =
            m_file.Read(title, present < TitleFieldLength ? static_cast<size_t>(present) : TitleFieldLength);
    }
    for (size_t i = got; i < TitleFieldLength; ++i) {
        title[i] = ' ';
    }
    Digest(title, TitleFieldLength);
}

bool CPayloadReader::Next(PayloadEntry& entry) {
    if (m_end != WalkEnd::Walking) {
        return false;
    }
    m_digestWhole = m_digestWhole && m_dataLeft == 0;
    if (m_index == PayloadEntryCount ||
        (m_index >= RequiredEntryCount &&
         (m_position >= m_bounds.end || IsSigningPadding(m_file, m_bounds, m_position)))) {
        m_end = WalkEnd::Complete;
        return false;
    }
    // No whole length field left: nothing more of the payload is there.
    if (!ReadAt(m_file, m_bounds.end, m_position, entry.field, LengthFieldDigits)) {
        m_end = WalkEnd::FieldCut;
        return false;
    }
    Digest(entry.field, LengthFieldDigits);
    entry.index = m_index++;
    entry.declared = DecodeEntryLength(entry.field);
    entry.offset = m_position + LengthFieldDigits;
    const int64_t length = entry.declared > 0 ? entry.declared : 0;
    const int64_t rest = m_bounds.end - entry.offset;
    entry.available = length < rest ? length : rest;
    m_dataLeft = entry.available;
    m_position = entry.offset + length;
    if (entry.available < length) {
        m_end = WalkEnd::EntryCut;
    }
    return true;
}

size_t CPayloadReader::ReadData(void* buffer, size_t size) {
    if (static_cast<int64_t>(size) > m_dataLeft) {
        size = static_cast<size_t>(m_dataLeft);
    }
    const size_t got = m_file.Read(buffer, size);
    m_dataLeft -= static_cast<int64_t>(got);
    Digest(buffer, got);
    return got;
}

void CPayloadReader::SkipData(uint32_t dataCrc, Crc32Combine combine) {
    if (m_digestFunction != nullptr) {
        m_digest = combine(m_digest, dataCrc, m_dataLeft);
    }
    m_dataLeft = 0;
}

void CPayloadReader::Digest(const void* data, size_t size) {
    if (m_digestFunction != nullptr) {
        m_digest = m_digestFunction(m_digest, data, size);
    }
}

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
