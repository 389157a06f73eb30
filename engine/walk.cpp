// engine/walk.cpp: the one walk of the payload's length fields that the stub's
// extraction and sfxpack's readers share.
#include "engine/walk.h"

CPayloadWalk::CPayloadWalk(CFileStream& file, int32_t stubLength)
    : m_file(file), m_bounds(FindPayloadBounds(file)), m_stubLength(stubLength),
      m_position(static_cast<int64_t>(stubLength) + TitleFieldLength) {}

bool CPayloadWalk::HasPayload() {
    // Positions in the layout are signed 32-bit values.
    return m_stubLength >= 0 && m_bounds.end <= INT32_MAX && m_position < m_bounds.end &&
           !IsSigningPadding(m_file, m_bounds, m_position);
}

bool CPayloadWalk::Next(PayloadEntry& entry) {
    if (m_end != WalkEnd::Walking) {
        return false;
    }
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
    entry.index = m_index++;
    entry.declared = DecodeEntryLength(entry.field);
    entry.offset = m_position + LengthFieldDigits;
    const int64_t length = entry.declared > 0 ? entry.declared : 0;
    const int64_t rest = m_bounds.end - entry.offset;
    entry.available = length < rest ? length : rest;
    m_position = entry.offset + length;
    if (entry.available < length) {
        m_end = WalkEnd::EntryCut;
    }
    return true;
}
