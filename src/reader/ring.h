// Files written under a dump limit: a ring of recent sessions.
//
// The writer places value-change and vc chain blocks in a ring inside the
// file and overwrites the oldest ring sessions when it runs out of room. The
// session list still holds a record for every session since the file began,
// but only the sessions whose vc chain blocks start at or after the header's
// `first valid vc chain block` F are still in the file: the blocks of the
// others may hold newer data. A session's vc chain blocks follow those of
// the sessions before it, so the retained sessions are the last ones of the
// list, from the first whose first vc chain block is F or later.
//
// A variable's chain entries link back through every session it changed in;
// a link to a position before block F points into a dropped session and ends
// the chain: the entry holding it is the variable's first retained entry.
//
// At the start of each ring session the writer repeats the current value of
// every variable that has one, in vc chain blocks of their own (the ring
// session's redundant range, listed in the redundant vc chain list: ".rlist"
// beside a live file, at `redundant list uoff` in a finished one):
//   0xFF, count (4), per ring session, oldest first: first and last vc chain
//   block of its redundant value changes (4 + 4), 0xFFFFFFFF twice for none.
// A redundant change that is a variable's first retained entry gives its
// value at the start of the retained stretch (`minimum xtag`) and is shown,
// marked redundant, unless the variable's next entry changes it at that very
// time (then that change is its value there); every other redundant change
// repeats a value already shown and is left out.
#ifndef TAVRI_READER_RING_H
#define TAVRI_READER_RING_H

#include <cstdint>
#include <vector>

#include "reader/block_cache.h"
#include "reader/byte_order.h"
#include "reader/chain.h"
#include "reader/sessions.h"
#include "reader/status.h"

namespace tavri::reader {

constexpr uint32_t kNoBlock = 0xFFFFFFFF;
constexpr uint8_t kRedundantListMarker = 0xFF;
constexpr size_t kRedundantListHead = 1 + 4;
constexpr size_t kRedundantRangeBytes = 8;

// One ring session's redundant value changes: vc chain blocks first..last,
// or kNoBlock twice when it has none.
struct RedundantRange {
    uint32_t first = kNoBlock;
    uint32_t last = kNoBlock;
    bool none() const { return first == kNoBlock; }
};

// The count of ring sessions from the list's 5-byte head; CORRUPT when the
// marker is wrong.
Status ParseRedundantListHead(const uint8_t *head, const FieldOrder &order, uint32_t *count);
// The `count` ranges that follow the head.
void ParseRedundantRanges(const uint8_t *data, uint32_t count, const FieldOrder &order,
                          std::vector<RedundantRange> *out);

// No entry follows in the variable's chain.
constexpr uint64_t kNoNextEntry = UINT64_MAX;

// Whether the changes of a chain entry are shown, given the first time of
// the variable's next entry (kNoNextEntry for none).
inline bool ShowEntry(const ChainEntry &entry, uint64_t cut, uint64_t next_first_time) {
    return !entry.redundant || (entry.StartsChain(cut) && next_first_time != entry.last_time);
}

class Ring {
  public:
    // A file without a dump limit: every session retained, nothing redundant.
    Ring() = default;
    Ring(uint32_t first_valid_block, std::vector<RedundantRange> ranges)
        : active_(true), first_valid_(first_valid_block), ranges_(std::move(ranges)) {}

    bool active() const { return active_; }
    uint32_t first_valid_block() const { return first_valid_; }
    const std::vector<RedundantRange> &ranges() const { return ranges_; }

    // Chain positions before this one lie in dropped sessions.
    uint64_t cut() const { return static_cast<uint64_t>(first_valid_) << kBlockShift; }
    bool Dropped(uint64_t chain_position) const { return chain_position < cut(); }
    // The index of the first retained session (sessions.size() when none is).
    uint32_t FirstRetained(const std::vector<SessionRecord> &sessions) const;
    // The vc chain block holds redundant value changes.
    bool RedundantBlock(uint32_t chain_block) const;

  private:
    bool active_ = false;
    uint32_t first_valid_ = 0;
    std::vector<RedundantRange> ranges_;
};

}  // namespace tavri::reader

#endif
