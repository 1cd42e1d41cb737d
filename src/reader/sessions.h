// Sessions: every flush that wrote value changes appends one session record
// (session list, ".slist" while live):
//   0x0F, start time tag (8: high word, low word), end time tag (8),
//   index of the session's first value-change block (4),
//   m1 (1), m1 value-change block layouts, m2 (1), m2 vc chain block layouts.
// A session's vc chain blocks follow those of the sessions before it, so the
// index of its first one is the sum of the earlier counts.
#ifndef TAVRI_READER_SESSIONS_H
#define TAVRI_READER_SESSIONS_H

#include <cstdint>
#include <vector>

#include "reader/block_cache.h"
#include "reader/byte_order.h"
#include "reader/status.h"

namespace tavri::reader {

struct SessionRecord {
    uint64_t start_time = 0;
    uint64_t end_time = 0;
    uint32_t first_vc_block = 0;
    uint32_t first_chain_block = 0;
    std::vector<BlockLayout> vc_blocks;
    std::vector<BlockLayout> chain_blocks;
};

// Parses exactly `count` records that fill `size` bytes.
Status ParseSessionList(const uint8_t *data, size_t size, uint32_t count, const FieldOrder &order,
                        std::vector<SessionRecord> *out);

}  // namespace tavri::reader

#endif
