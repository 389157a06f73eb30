// engine/payload_writer.cpp: writing the payload, for sfxpack: the length fields and the
// layout around the entries' data, which the caller copies.
#include "engine/payload.h"

void EncodeEntryLength(int32_t length, unsigned char field[LengthFieldDigits]) {
    uint32_t rest = static_cast<uint32_t>(length);
    for (int k = LengthFieldDigits - 1; k >= 0; --k) {
        field[k] = static_cast<unsigned char>(rest % 10 + LengthDigitBias);
        rest /= 10;
    }
}

int64_t CPayloadWriter::MeasurePayload(const int64_t* sizes, int count) {
    const int entries = count > RequiredEntryCount ? count : RequiredEntryCount;
    int64_t length = TitleFieldLength + static_cast<int64_t>(entries) * LengthFieldDigits;
    for (int k = 0; k < count; ++k) {
        length += sizes[k];
    }
    return length;
}

bool CPayloadWriter::WriteTitle(const char title[TitleFieldLength]) {
    return m_output.Write(title, TitleFieldLength);
}

bool CPayloadWriter::WriteEntryLength(int32_t length) {
    if (m_entries == PayloadEntryCount) {
        return false;
    }
    unsigned char field[LengthFieldDigits];
    EncodeEntryLength(length, field);
    ++m_entries;
    return m_output.Write(field, LengthFieldDigits);
}

bool CPayloadWriter::Finish() {
    while (m_entries < RequiredEntryCount) {
        if (!WriteEntryLength(0)) {
            return false;
        }
    }
    return true;
}
