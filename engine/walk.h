// engine/walk.h: the walk of an installer's length fields, entry by entry, up to the
// payload's end.
#pragma once

#include <stdint.h>

#include "engine/bounds.h"
#include "engine/layout.h"

// One entry as the payload holds it.
struct PayloadEntry {
    int index = 0;                               // into PayloadEntryTable
    unsigned char field[LengthFieldDigits] = {}; // the length field as stored
    int32_t declared = 0;                        // its value, decoded leniently
    int64_t offset = 0;                          // of the data, right after the field
    int64_t available = 0; // data bytes before the payload's end: declared (0 when that is
                           // negative) unless the file is cut short
};

enum class WalkEnd {
    Walking,
    Complete, // entry 6 ended with nothing but padding after it, or entry 7 was read
    FieldCut, // the payload ends inside (or before) a length field
    EntryCut, // the payload ends inside an entry's data
};

// Walks the length fields of an installer's payload the way the stub reads it, up to
// the payload's end; it never reads entry data. Entries 1 to 6 are always there; entry
// 7 only when bytes other than signing padding follow entry 6; nothing after entry 7.
// The walk seeks the stream itself, so a reader of entry data seeks to entry.offset.
class CPayloadWalk {
  public:
    CPayloadWalk(CFileStream& file, int32_t stubLength);

    const PayloadBounds& GetBounds() const { return m_bounds; }
    // The file holds at least one byte after the title field besides signing padding,
    // and the whole payload lies within the signed 32-bit positions the stub uses.
    bool HasPayload();
    // The next entry; false when the walk is over (see GetEnd). An entry whose data is
    // cut short is the last one.
    bool Next(PayloadEntry& entry);
    WalkEnd GetEnd() const { return m_end; }
    // Where the walk stands: after the last length field and the data it declares.
    int64_t GetPosition() const { return m_position; }

  private:
    CFileStream& m_file; // borrowed
    PayloadBounds m_bounds;
    int32_t m_stubLength;
    int64_t m_position;
    int m_index = 0;
    WalkEnd m_end = WalkEnd::Walking;
};
