// The dump-limit ring: under a dump limit the value-change and vc chain
// blocks are written into a ring inside the file, and the oldest ring
// sessions are given up as the ring comes round to them, so that the file
// keeps the most recent stretch of time and never outgrows its limit.
//
// File layout of a dump-limit file:
//
//   2816 .. ring start     the trees stored before any value change
//   ring start .. wrap     the ring: value-change and vc chain blocks
//   wrap .. end of data    tree blocks stored once value changes began
//   (finished) annotation, tree list, session list, redundant list, string
//              list and chain table, behind the last block or at the end
//              of data once the ring has wrapped or the file has more trees
//
// wrap = dump limit x 2^20 - ((max var idcode + 1) x 8 + 0x20000): the room
// kept behind the ring for the index structures of the finished file.
//
// A ring session starts at a new time tag: it begins with a redundant value
// change, at that time, of every variable that has a value, so that the
// oldest retained session tells every value at the file's first time. It
// ends at the first new time tag after a session flush. Dropping the oldest
// session moves the header's `first valid vc chain block` past its vc chain
// blocks and `minimum xtag` to the next session's start. The ".rlist" side
// file lists the redundant vc chain block range of every retained session.
#ifndef TAVRI_WRITER_RING_H
#define TAVRI_WRITER_RING_H

#include <cstdint>
#include <deque>

#include "writer/object.h"
#include "writer/uoff.h"
#include "writer/wbuf.h"

namespace tavri::writer {

constexpr uint32_t kNoChainBlock = 0xFFFFFFFFu;
// The ring's start is not known before the first block it takes.
constexpr Uoff kOffsetNotYet = ~Uoff{0};
constexpr uint8_t kRedundantListMarker = 0xFF;

struct RingSession {
    Uoff start_off_in_trax = kOffsetNotYet;
    uint32_t fifo_vc_chain_start_idx = 0;
    uint32_t fifo_vc_chain_end_idx = kNoChainBlock;  // until the session ends
    uint32_t vc_chain_start_idx = kNoChainBlock;     // redundant value changes
    uint32_t vc_chain_end_idx = kNoChainBlock;
    Xtag start_xtag;
    Xtag xtag;
};

struct Ring {
    bool laid_out = false;  // ring start and wrap limit are known
    Uoff ring_start = 0;
    Uoff wrap_limit = 0;
    Uoff tree_start = 0;   // where tree blocks stored after value changes began start
    Uoff end_of_data = 0;  // where the next of them goes
    bool wrapped = false;
    std::deque<RingSession> sessions;  // oldest first
    Uoff next_session_start = kOffsetNotYet;
    uint32_t session_chain_start = 0;
    bool start_requested = false;
    bool session_open = false;     // the newest session has started and not ended
    bool session_ending = false;   // a session flush followed its start
    // The flushes that end one ring session and start the next, all at one
    // new time tag, are committed to disk once, after the last of them.
    bool commit_deferred = false;
    uint64_t enlargement_base = 0;
};

// Creates the ring of a writer whose dump limit has just been set.
Ring *CreateRing();
void FreeRing(txwObject *obj);

// Writes one stored block of a dump-limit file where the ring puts it and
// returns its layout.
BlkLayout RingPlaceBlock(txwObject *obj, BlockKind kind, const uint8_t *data, uint32_t length);

// Time-tag bookkeeping: before a new time tag becomes current (ends the
// session when a flush followed its start) and after (starts the next one).
void RingBeforeNewXtag(txwObject *obj, const Xtag &next);
void RingAfterNewXtag(txwObject *obj);

// Called by every session flush after its session is written: the ring
// session is ending, and ".rlist" is rewritten.
void RingAfterSessionFlush(txwObject *obj);

// Rewrites ".rlist" from offset 0.
void WriteRedundantList(txwObject *obj);

// At the final flush: moves the file position to where the index structures
// go (the end of data once the ring has wrapped or the file has more trees).
void RingSeekIndexPosition(txwObject *obj);

}  // namespace tavri::writer

#endif
