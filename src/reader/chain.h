// The vc chain: per variable and session with changes, one entry in the vc
// chain stream, linked back to the variable's entry of its previous session.
//
// Chain entry:
//   flags A, flags B,
//   back link        A bits 0-1: 1, 2, 4 or 8 bytes (8 = uoff)
//   element position A bits 2-3: 1, 2, 4 or 8 bytes (8 = uoff)
//   session statistic A bits 4-5: 1 → 2, 2 → 4, 3 → 8 bytes (8 = high, low)
//   change count     A bits 6-7: 0 → 1, 1 → 2, 2 → 4 bytes
//   first time tag   B bits 0-1: 1 → 2, 2 → 4, 3 → 8 bytes (8 = high, low)
//   last time tag    B bits 2-3: likewise
// B bits 4-6 are the session's three flags. The stream starts with the byte
// 0x11, so that no entry lies at position 0.
//
// Chain table (last structure of a finished file; ".chain" while live): per
// idcode from 0, the position of the variable's last entry (4 bytes, or 8
// when `vc chain is 8-byte`; 0 for a variable that never changed) and a byte
// holding its three lasting flags.
#ifndef TAVRI_READER_CHAIN_H
#define TAVRI_READER_CHAIN_H

#include <cstdint>
#include <vector>

#include "reader/byte_order.h"
#include "reader/status.h"
#include "reader/stream.h"

namespace tavri::reader {

constexpr uint8_t kChainStreamStart = 0x11;

struct ChainTable {
    std::vector<uint64_t> last;
    std::vector<uint8_t> flags;
};

Status ParseChainTable(const uint8_t *data, size_t size, bool eight_byte, const FieldOrder &order,
                       ChainTable *out);

struct ChainEntry {
    uint64_t position = 0;
    uint64_t back_link = 0;
    uint64_t element_position = 0;
    uint64_t statistic = 0;
    uint64_t first_time = 0;
    uint64_t last_time = 0;
    uint32_t change_count = 0;
    uint8_t flags_a = 0;
    uint8_t flags_b = 0;
    uint32_t session = 0;     // owner of the block the entry starts in
    bool redundant = false;   // it lies in a ring session's redundant vc chain blocks

    uint64_t previous() const { return position - back_link; }
    // The variable's first entry still in the file: it links back to nothing,
    // or into the dropped sessions before `cut` (see ring.h).
    bool StartsChain(uint64_t cut) const { return back_link == 0 || previous() < cut; }
};

// Reads the entry at `position` of the vc chain stream.
Status ReadChainEntry(Cursor *cursor, uint64_t position, ChainEntry *entry);

}  // namespace tavri::reader

#endif
