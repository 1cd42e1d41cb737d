// Value-change creation: each change is appended, in value-change memory, to
// its variable's chain of pending changes, stamped with the current xtag.
//
// Units in value-change memory (all start 8-byte aligned):
//   header        next unit (pointer), flags (bit 0: a value was replaced
//                 by the glitch rule; bit 1: holds the variable's first
//                 change ever), sizes (low nibble xtag size, high nibble
//                 sequence-number size), 2 spare bytes
//   one-byte values: a block of up to seven changes:
//                 header, count, 7 value bytes, then 7 entries of
//                 (xtag, sequence number)
//   values of 2 to 8 bytes (small vectors, string ids): a block of up to
//                 seven changes: header, count, 7 entries of
//                 (value, xtag, sequence number)
//   longer values: one unit per change:
//                 header, xtag, sequence number, value bytes
// A block keeps a small vector's change in 12 bytes (8 of value, 4 of
// xtag) instead of a 24-byte unit, and a variable's changes together.
// A 4-byte xtag is the low word of the time; an 8-byte one the 64-bit time
// (or the double of a double-time file).
#ifndef TAVRI_WRITER_VC_H
#define TAVRI_WRITER_VC_H

#include <cstdint>
#include <cstring>

#include "writer/incore_var.h"

struct txwObject;

namespace tavri::writer {

struct VcUnit {
    VcUnit *next;
    uint8_t flags;
    uint8_t sizes;
    uint8_t spare[2];
};

enum VcUnitFlags : uint8_t { kUnitGlitchReplaced = 1, kUnitFirstChange = 2 };

constexpr uint32_t kUnitHeaderSize = 12;
constexpr uint32_t kBlockEntries = 7;
constexpr uint32_t kBlockValuesOffset = kUnitHeaderSize + 1;          // after the count
constexpr uint32_t kBlockEntriesOffset = kBlockValuesOffset + kBlockEntries;  // 20, one-byte values
// Longest value kept in blocks.
constexpr uint32_t kBlockValueLimit = 8;

inline bool InBlocks(uint32_t value_length) { return value_length <= kBlockValueLimit; }

inline uint8_t *UnitBytes(VcUnit *unit) { return reinterpret_cast<uint8_t *>(unit); }
inline const uint8_t *UnitBytes(const VcUnit *unit) { return reinterpret_cast<const uint8_t *>(unit); }

inline uint8_t &BlockCount(VcUnit *unit) { return UnitBytes(unit)[kUnitHeaderSize]; }
inline uint8_t BlockCount(const VcUnit *unit) { return UnitBytes(unit)[kUnitHeaderSize]; }
inline uint8_t *BlockValues(VcUnit *unit) { return UnitBytes(unit) + kBlockValuesOffset; }
inline const uint8_t *BlockValues(const VcUnit *unit) { return UnitBytes(unit) + kBlockValuesOffset; }

// Bytes of a block entry's xtag and sequence number.
inline uint32_t StampSize(const VcUnit *unit) { return (unit->sizes & 0xF) + (unit->sizes >> 4); }

// Entry `entry` of a block. One-byte values are kept together ahead of the
// (xtag, sequence number) entries; a longer value is kept right before its
// own xtag, so that recording it writes to one place.
inline uint8_t *BlockValue(VcUnit *unit, uint32_t entry, uint32_t value_length) {
    return value_length == 1 ? BlockValues(unit) + entry
                             : BlockValues(unit) + entry * (value_length + StampSize(unit));
}
inline const uint8_t *BlockValue(const VcUnit *unit, uint32_t entry, uint32_t value_length) {
    return BlockValue(const_cast<VcUnit *>(unit), entry, value_length);
}
inline uint8_t *BlockStamp(VcUnit *unit, uint32_t entry, uint32_t value_length) {
    return value_length == 1 ? UnitBytes(unit) + kBlockEntriesOffset + entry * StampSize(unit)
                             : BlockValue(unit, entry, value_length) + value_length;
}
inline const uint8_t *BlockStamp(const VcUnit *unit, uint32_t entry, uint32_t value_length) {
    return BlockStamp(const_cast<VcUnit *>(unit), entry, value_length);
}

// Bytes of a block and of a unit of one change.
inline uint32_t BlockSize(uint32_t xtag_size, uint32_t seq_size, uint32_t value_length = 1) {
    return kBlockValuesOffset + kBlockEntries * (value_length + xtag_size + seq_size);
}
inline uint32_t UnitSize(uint32_t xtag_size, uint32_t seq_size, uint32_t value_length) {
    return kUnitHeaderSize + xtag_size + seq_size + value_length;
}

// The time stored in an entry of `xtag_size` bytes.
inline uint64_t LoadStamp(const uint8_t *at, uint32_t xtag_size) {
    if (xtag_size == 4) {
        uint32_t low;
        std::memcpy(&low, at, 4);
        return low;
    }
    uint64_t wide;
    std::memcpy(&wide, at, 8);
    return wide;
}

inline uint32_t LoadSeq(const uint8_t *at, uint32_t seq_size) {
    uint32_t seq = 0;
    if (seq_size == 4) {
        std::memcpy(&seq, at, 4);
    }
    return seq;
}

// Stored length of one value of the variable in its format.
uint32_t ValueLength(const IncoreVar &var);

// One pending change as the session flush reads it.
struct PendingChange {
    const uint8_t *value;  // value_length bytes
    uint64_t stamp;
    uint32_t seq;
    bool filterable;  // its unit had a value replaced by the glitch rule
};

// Visits the variable's pending changes in order; `value_length` is
// ValueLength() of the variable (1 for one-byte variables).
template <typename Visit>
inline __attribute__((always_inline)) void ForEachPendingChange(const IncoreVar &var, uint32_t value_length,
                                                               Visit visit) {
    const bool blocks = InBlocks(value_length);
    for (const VcUnit *unit = var.chain_head; unit != nullptr; unit = unit->next) {
        // A variable's units lie among those of all others: the next one is
        // fetched while this one is read.
        __builtin_prefetch(unit->next);
        const uint32_t xtag_size = unit->sizes & 0xF;
        const uint32_t seq_size = unit->sizes >> 4;
        const bool filterable = (unit->flags & kUnitGlitchReplaced) != 0;
        if (blocks) {
            const uint8_t count = BlockCount(unit);
            for (uint8_t i = 0; i < count; ++i) {
                const uint8_t *stamp = BlockStamp(unit, i, value_length);
                visit(PendingChange{BlockValue(unit, i, value_length), LoadStamp(stamp, xtag_size),
                                    LoadSeq(stamp + xtag_size, seq_size), filterable});
            }
        } else {
            const uint8_t *entry = UnitBytes(unit) + kUnitHeaderSize;
            visit(PendingChange{entry + xtag_size + seq_size, LoadStamp(entry, xtag_size),
                                LoadSeq(entry + xtag_size, seq_size), filterable});
        }
    }
}

// Records a change for an idcode in the normal bus format (one byte for
// one-byte variables); the dump-off marker uses it for idcode 0.
int CreateValueByIdcode(txwObject *obj, int32_t idcode, const void *value);

// Records the variable's last value written to the file once more, at the
// current time tag, past the repeat filter and the glitch rule: the
// redundant value changes that open a ring session of a dump-limit file.
void RecordRedundantValue(txwObject *obj, IncoreVar &var);

// The in-core record a string value goes to (null after reporting why not),
// and the recording of its 4-byte string id.
IncoreVar *StringTarget(txwObject *obj, int32_t idcode);
int RecordStringId(txwObject *obj, IncoreVar &var, uint32_t id);

}  // namespace tavri::writer

#endif
