// The value changes of a whole file, or of chosen idcodes, in time order,
// without loading them: a session at a time, the session's element arrays
// are decoded side by side and merged by time.
//
// A session's vc chain entries lie in the session's own vc chain blocks, one
// per variable that changed, but an entry does not name its variable. The
// walk first follows every chain back from the chain table to the variable's
// first entry (the one whose back link is 0); going forward, an entry then
// belongs to the variable whose entry it links back to, or, with back link
// 0, to the variable whose first entry it is. An entry that fits neither is
// an entry no chain reaches, and the file is corrupt. In a ring file the
// walk starts at the first retained session, and an entry linking back into
// a dropped one starts its variable's chain (see ring.h); a redundant entry
// is decoded only when it starts the chain and the entry after it does not
// change the variable at the same time (ShowEntry).
//
// Memory: per idcode the position of its latest chain entry, and per
// variable of the current session a decoder and the block it stands in
// (blocks that several decoders stand in are held once).
#ifndef TAVRI_READER_CHANGE_WALK_H
#define TAVRI_READER_CHANGE_WALK_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/large_memory.h"
#include "reader/database.h"

namespace tavri::reader {

struct WalkOptions {
    // Idcodes to decode (index = idcode); empty for all.
    std::vector<bool> selected;
    // Only changes with from <= time <= to.
    uint64_t from = 0;
    uint64_t to = UINT64_MAX;
    // Changes at this time and later are not handed out (kShowAll of
    // live_step.h: none is held back).
    uint64_t hidden_from = UINT64_MAX;
    // Called for every vc chain entry as its session is entered, with the
    // idcode it belongs to (redundant entries left out of the walk
    // included).
    std::function<Status(uint32_t session, uint32_t idcode, const ChainEntry &entry)> on_entry;
};

class ChangeWalk {
  public:
    explicit ChangeWalk(Database *db) : db_(db) {}

    Status Start(const WalkOptions &options);
    // The next change: in time order; at one time, by session, then by
    // idcode, each idcode's changes in their recorded order. The change
    // stays valid until the next call. Sets *done when none is left.
    // Inline for the common step (see below); NextStep takes the rest.
    Status Next(uint32_t *idcode, const Change **change, bool *done);

    // Chain entries seen and changes decoded so far (those outside the
    // window or of idcodes not chosen included).
    uint64_t entries_seen() const { return entries_seen_; }
    uint64_t changes_decoded() const { return changes_decoded_; }

  private:
    // A variable's element array in the session. It holds the time of its
    // next change (decoder.time()) but not the value: that is decoded into
    // current_ when the change is handed out. Lanes lie side by side, each
    // from a cache line boundary, in two lines: what a decoder reads only at
    // the ends of its array lies elsewhere.
    struct alignas(64) Lane {
        explicit Lane(const Stream *stream, const FieldOrder &order) : decoder(stream, order) {}
        uint32_t idcode = 0;
        ElementDecoder decoder;
    };
    static_assert(sizeof(Lane) == 128, "a lane fills two cache lines");
    // A variable's chain entry whose lane starts once the session's
    // entries are all read.
    struct Starting {
        uint32_t idcode;
        ChainEntry entry;
    };
    // Lanes by the time of their next change.
    using Pending = std::map<uint64_t, std::vector<uint32_t>>;

    Status NextStep(uint32_t *idcode, const Change **change, bool *done);
    // Hands out the change the lane stands at and reads the lane's next.
    Status HandOut(uint32_t lane, uint32_t *idcode, const Change **change);
    Status FindFirstEntries();
    Status EnterSession(uint32_t session);
    // Reads the lane's next change up to its value and files the lane under
    // its time.
    Status Advance(uint32_t lane);
    // Makes the earliest pending time the current one.
    Status TakeEarliest();
    // Puts the lanes due now in idcode order.
    void OrderNow();
    void Prefetch() const;
    // Below this many lanes their records stay in the processor's caches
    // from one time to the next, and fetching them ahead only costs.
    static constexpr uint32_t kPrefetchLanes = 2048;
    // Lets go of every lane: nothing more is handed out this session.
    void DropLanes();
    Status CheckEnd() const;
    bool Selected(uint32_t idcode) const {
        return options_.selected.empty() ||
               (idcode < options_.selected.size() && options_.selected[idcode]);
    }

    Database *db_;
    WalkOptions options_;
    std::unordered_map<uint64_t, uint32_t> first_;   // first entry position -> idcode
    std::unordered_set<uint64_t> hidden_first_;      // redundant first entries not shown
    std::unordered_map<uint64_t, uint32_t> latest_;  // latest entry seen -> idcode
    // In large pages: a change reads the lines of a different lane each
    // time, across megabytes with many variables.
    std::vector<Lane, platform::LargeAllocator<Lane>> lanes_;
    Change current_;  // the change handed out
    uint32_t lanes_used_ = 0;
    // The merge: most lanes of a design change at the same few times, so
    // they are filed under their next change's time; at each time they are
    // handed out by idcode (now_), a lane whose next change is at that time
    // again straight after (again_).
    Pending pending_;
    // Where lanes were filed lately, by a hash of the time (or end): lanes
    // that change again at a few distinct times find their time's entry
    // without a search.
    static constexpr size_t kFiledWays = 8;
    Pending::iterator filed_[kFiledWays];
    Pending::iterator &FiledFor(uint64_t time) {
        return filed_[(time * 0x9E3779B97F4A7C15u) >> 61];
    }
    std::vector<uint32_t> now_;
    std::vector<uint32_t> merged_;  // room for ordering now_
    std::vector<uint64_t> marks_;
    std::vector<Starting> starting_;
    size_t now_next_ = 0;
    uint64_t now_time_ = 0;
    bool prefetch_ = false;  // the session has kPrefetchLanes lanes or more
    // With prefetch_, by lane: where its decoder reads next (null at the end
    // of a block).
    std::vector<const uint8_t *> ahead_;
    bool have_now_ = false;  // now_time_ is current: lanes stand at it
    uint32_t again_ = UINT32_MAX;
    uint32_t next_session_ = 0;
    Status deferred_;  // reading past the change handed out failed
    uint64_t last_time_ = 0;
    uint32_t last_idcode_ = 0;
    bool stopped_ = false;  // the window ended before the last session
    bool finished_ = false;
    uint64_t entries_seen_ = 0;
    uint64_t changes_decoded_ = 0;
};

// Called once per change: the common step, a lane due at the current time
// inside the window with no failure waiting, goes without a call.
[[gnu::always_inline]] inline Status ChangeWalk::Next(uint32_t *idcode, const Change **change,
                                                      bool *done) {
    if (now_next_ < now_.size() && again_ == UINT32_MAX && now_time_ >= options_.from &&
        deferred_.ok()) {
        *done = false;
        if (prefetch_) Prefetch();
        return HandOut(now_[now_next_++], idcode, change);
    }
    return NextStep(idcode, change, done);
}

[[gnu::always_inline]] inline Status ChangeWalk::HandOut(uint32_t lane, uint32_t *idcode,
                                                         const Change **change) {
    Lane &l = lanes_[lane];
    last_time_ = now_time_;
    last_idcode_ = l.idcode;
    TAVRI_RETURN_IF_ERROR(l.decoder.Value(&current_));
    // The lane's next element follows the value just read, in bytes still
    // in the cache: it is read now, not at the next call. A failure there
    // belongs to the next change and is reported then.
    Status advanced = Advance(lane);
    if (!advanced.ok()) deferred_ = std::move(advanced);
    *idcode = l.idcode;
    *change = &current_;
    return Status();
}

[[gnu::always_inline]] inline Status ChangeWalk::Advance(uint32_t lane) {
    ElementDecoder &decoder = lanes_[lane].decoder;
    bool done = false;
    TAVRI_RETURN_IF_ERROR(decoder.NextTime(&done));
    if (done) {
        return Status();
    }
    ++changes_decoded_;
    if (prefetch_) ahead_[lane] = decoder.Ahead();
    const uint64_t time = decoder.time();
    // A lane's times never go down: at the current time again, it comes
    // before the lanes of higher idcodes still due then.
    if (have_now_ && time == now_time_) {
        again_ = lane;
        return Status();
    }
    Pending::iterator &filed = FiledFor(time);
    if (filed == pending_.end() || filed->first != time) {
        filed = pending_.try_emplace(time).first;
    }
    filed->second.push_back(lane);
    return Status();
}

// With many variables the lanes due at one time lie far apart in memory,
// each read once per time: their records are fetched a few lanes ahead, and
// the bytes their decoders read next (from ahead_, not from the records, so
// that fetching them waits for nothing).
[[gnu::always_inline]] inline void ChangeWalk::Prefetch() const {
    constexpr size_t kRecordsAhead = 24;
    constexpr size_t kBytesAhead = 8;
    constexpr size_t kHotBytes = 128;  // see Lane
    if (prefetch_ && now_next_ + kRecordsAhead < now_.size()) {
        const char *record = reinterpret_cast<const char *>(&lanes_[now_[now_next_ + kRecordsAhead]]);
        for (size_t at = 0; at < kHotBytes; at += 64) __builtin_prefetch(record + at);
    }
    if (now_next_ + kBytesAhead < now_.size()) {
        const uint8_t *bytes = ahead_[now_[now_next_ + kBytesAhead]];
        if (bytes != nullptr) __builtin_prefetch(bytes);
    }
}

}  // namespace tavri::reader

#endif
