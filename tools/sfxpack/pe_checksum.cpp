// tools/sfxpack/pe_checksum.cpp: the PE checksum's word sum, kept modulo 0xFFFF.
#include "tools/sfxpack/pe_checksum.h"

#include <vector>

#include "engine/bounds.h"

namespace {

constexpr uint64_t Modulus = 0xFFFF;
// Words one 32-bit lane takes before it could overflow: 65536 * 0xFFFF < 2^32.
constexpr size_t LaneWords = 65536;
// Lanes the compiler keeps in vector registers.
constexpr int Lanes = 8;
// Read at a time when a whole file is checked.
constexpr size_t CheckPiece = 1 << 20;

unsigned LoadWord(const unsigned char* bytes) { return bytes[0] | bytes[1] << 8; }

// The sum of size / 2 whole words, not reduced: at most size * 0x8000, which 64 bits hold
// for any file.
uint64_t SumWords(const unsigned char* data, size_t size) {
    const size_t words = size / 2;
    uint64_t total = 0;
    for (size_t start = 0; start < words; start += Lanes * LaneWords) {
        const size_t count = words - start < Lanes * LaneWords ? words - start : Lanes * LaneWords;
        const unsigned char* block = data + 2 * start;
        uint32_t lanes[Lanes] = {};
        size_t k = 0;
        for (; k + Lanes <= count; k += Lanes) {
            for (int lane = 0; lane < Lanes; ++lane) {
                lanes[lane] += LoadWord(block + 2 * (k + static_cast<size_t>(lane)));
            }
        }
        for (; k < count; ++k) {
            lanes[0] += LoadWord(block + 2 * k);
        }
        for (uint32_t lane : lanes) {
            total += lane;
        }
    }
    return total;
}

} // namespace

void CWordSum::AddByte(int64_t offset, unsigned byte, bool remove) {
    const uint64_t weighted = ((offset & 1) != 0 ? static_cast<uint64_t>(byte) << 8 : byte) % Modulus;
    m_residue = (m_residue + (remove ? Modulus - weighted : weighted)) % Modulus;
}

void CWordSum::Add(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (size == 0) {
        return;
    }
    // A piece that starts at an odd offset: its first byte closes the word before it.
    const size_t lead = static_cast<size_t>(m_length & 1);
    const size_t paired = (size - lead) & ~static_cast<size_t>(1);
    const bool tail = lead + paired < size;
    const uint64_t words = SumWords(bytes + lead, paired);
    if (lead != 0) {
        AddByte(m_length, bytes[0], false);
    }
    m_residue = (m_residue + words % Modulus) % Modulus;
    if (tail) {
        AddByte(m_length + static_cast<int64_t>(size) - 1, bytes[size - 1], false);
    }
    m_nonzero = m_nonzero || words != 0 || (lead != 0 && bytes[0] != 0) || (tail && bytes[size - 1] != 0);
    m_length += static_cast<int64_t>(size);
}

void CWordSum::Replace(int64_t offset, const unsigned char* was, const unsigned char* now, size_t count) {
    for (size_t k = 0; k < count; ++k) {
        AddByte(offset + static_cast<int64_t>(k), was[k], true);
        AddByte(offset + static_cast<int64_t>(k), now[k], false);
        m_nonzero = m_nonzero || now[k] != 0;
    }
}

void CWordSum::Append(const CWordSum& next) {
    // After an odd length every byte of the next part lies in the other half of its word.
    const uint64_t moved = (m_length & 1) != 0 ? next.m_residue * 256 % Modulus : next.m_residue;
    m_residue = (m_residue + moved) % Modulus;
    m_length += next.m_length;
    m_nonzero = m_nonzero || next.m_nonzero;
}

uint32_t CWordSum::GetFolded() const {
    if (m_residue == 0) {
        return m_nonzero ? 0xFFFF : 0;
    }
    return static_cast<uint32_t>(m_residue);
}

uint32_t FinishPeChecksum(const CWordSum& sum) {
    return sum.GetFolded() + static_cast<uint32_t>(sum.GetLength());
}

bool MeasurePeChecksum(CFileStream& file, PeChecksum& checksum) {
    checksum = PeChecksum();
    checksum.field = FindChecksumField(file);
    if (checksum.field < 0) {
        return true;
    }
    std::vector<unsigned char> buffer(CheckPiece);
    CWordSum sum;
    const int64_t length = file.GetLength();
    if (!file.Seek(0)) {
        return false;
    }
    for (size_t got; (got = file.Read(buffer.data(), CheckPiece)) > 0;) {
        sum.Add(buffer.data(), got);
    }
    unsigned char field[4];
    const unsigned char zero[4] = {};
    if (sum.GetLength() != length || !ReadAt(file, length, checksum.field, field, 4)) {
        return false;
    }
    sum.Replace(checksum.field, field, zero, 4);
    checksum.stored = ReadLittleEndian(field, 4);
    checksum.computed = FinishPeChecksum(sum);
    return true;
}
