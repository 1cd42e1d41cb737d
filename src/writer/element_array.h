// Element arrays and vc chain entries: how a session writes one variable's
// pending changes.
//
// Element array (value-change stream): groups of (format byte, changes),
// separated by 0xC0 and ended by 0xC1. Scalars have one group of format 0;
// vector groups carry their value format (normal bus 4, A/B bus 5, ...)
// followed by a 5-byte group header (bytes-per-bit code, u32 value size).
//
// Scalar change: head byte (bits 0-3 value code + 1, or 0 when the code is
// 15 or more and a value byte follows; bits 4-5 time-delta width 1 = 2,
// 2 = 4, 3 = 8 bytes; bits 6-7 sequence-number width 1 = 2, 2 = 4 bytes),
// [value byte], time delta from the previous change of the array (the first
// carries its absolute time; 8-byte deltas as high word, low word),
// [sequence number].
// Vector change: head byte (time-delta and sequence widths as above, bit 3
// the compact form), time delta, [sequence number], value bytes. The compact
// A/B form writes only the A words when every B word is 0.
//
// vc chain entry (vc chain stream), one per variable and session with
// changes: flags A, flags B, back link to the variable's previous entry,
// element position, largest time delta of the session, change count, first
// and last time, each in the smallest width its width code allows.
#ifndef TAVRI_WRITER_ELEMENT_ARRAY_H
#define TAVRI_WRITER_ELEMENT_ARRAY_H

#include <cstdint>

#include "writer/uoff.h"

struct txwObject;

namespace tavri::writer {

struct IncoreVar;

constexpr uint8_t kGroupSeparator = 0xC0;
constexpr uint8_t kArrayEnd = 0xC1;

// What a session learns of one variable while writing its element array.
struct SessionScratch {
    uint32_t count = 0;
    uint64_t first_time = 0;
    uint64_t last_time = 0;
    uint64_t largest_delta = 0;
    uint8_t flags = 0;  // bit 0 X seen, bit 1 Z seen, bit 2 equal times
};

// Writes the variable's pending changes as its element array and fills the
// scratch. The chain of units is left for the caller to drop.
void WriteElementArray(txwObject *obj, IncoreVar &var, SessionScratch &scratch);

// Puts the variable's vc chain entry for this session.
void PutChainEntry(txwObject *obj, IncoreVar &var, Uoff element_position, const SessionScratch &scratch);

}  // namespace tavri::writer

#endif
