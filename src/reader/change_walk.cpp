#include "reader/change_walk.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <queue>

namespace tavri::reader {

Status ChangeWalk::Start(const WalkOptions &options) {
    options_ = options;
    first_.clear();
    hidden_first_.clear();
    latest_.clear();
    DropLanes();
    lanes_used_ = 0;
    next_session_ = db_->first_session();
    deferred_ = Status();
    last_time_ = 0;
    last_idcode_ = 0;
    stopped_ = false;
    finished_ = false;
    entries_seen_ = 0;
    changes_decoded_ = 0;
    if (options_.hidden_from == 0) {
        finished_ = true;  // nothing to hand out
        return Status();
    }
    if (options_.hidden_from != UINT64_MAX) {
        options_.to = std::min(options_.to, options_.hidden_from - 1);
    }
    return FindFirstEntries();
}

// Follows every chain back, latest position first, so that each vc chain
// block is decompressed about once; keeps only where each chain starts.
Status ChangeWalk::FindFirstEntries() {
    const ChainTable &table = db_->chain_table();
    std::priority_queue<std::pair<uint64_t, uint32_t>> pending;
    const Ring &ring = db_->ring();
    for (uint32_t idcode = 0; idcode < table.last.size(); ++idcode) {
        if (table.last[idcode] != 0 && !ring.Dropped(table.last[idcode])) {
            pending.emplace(table.last[idcode], idcode);
        }
    }
    struct NextEntry {
        uint32_t session;     // of the idcode's last entry read
        uint64_t first_time;  // of that entry
    };
    std::unordered_map<uint32_t, NextEntry> later;  // by idcode
    Cursor cursor(&db_->chain_stream(), db_->field_order());
    uint64_t previous = UINT64_MAX;
    while (!pending.empty()) {
        const auto [position, idcode] = pending.top();
        pending.pop();
        if (position == previous) {
            return Fail(TRAXR_ERR_CORRUPT, "two variables share the vc chain entry at 0x%llx",
                        static_cast<unsigned long long>(position));
        }
        previous = position;
        ChainEntry entry;
        TAVRI_RETURN_IF_ERROR(ReadChainEntry(&cursor, position, &entry));
        const auto seen = later.find(idcode);
        if (seen != later.end() && entry.session >= seen->second.session) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the vc chain of idcode %u links from session %u to session %u", idcode,
                        seen->second.session, entry.session);
        }
        if (!entry.StartsChain(ring.cut())) {
            later[idcode] = NextEntry{entry.session, entry.first_time};
            pending.emplace(entry.previous(), idcode);
        } else {
            const uint64_t next = seen != later.end() ? seen->second.first_time : kNoNextEntry;
            if (!ShowEntry(entry, ring.cut(), next)) hidden_first_.insert(position);
            later.erase(idcode);
            first_.emplace(position, idcode);
        }
    }
    return Status();
}

Status ChangeWalk::EnterSession(uint32_t s) {
    const SessionRecord &session = db_->sessions()[s];
    if (session.chain_blocks.empty()) {
        return Status();
    }
    const bool decode = session.end_time >= options_.from;
    const Stream &chain = db_->chain_stream();
    Cursor cursor(&chain, db_->field_order());
    uint64_t position = static_cast<uint64_t>(session.first_chain_block) << kBlockShift;
    if (session.first_chain_block == 0) {
        uint8_t lead;
        TAVRI_RETURN_IF_ERROR(cursor.Seek(0));
        TAVRI_RETURN_IF_ERROR(cursor.Byte(&lead));
        if (lead != kChainStreamStart) {
            return Fail(TRAXR_ERR_CORRUPT, "the vc chain stream starts with 0x%02x, not 0x11",
                        lead);
        }
        position = 1;
        if (cursor.BlockEnded()) {
            return Status();
        }
    }
    for (;;) {
        ChainEntry entry;
        TAVRI_RETURN_IF_ERROR(ReadChainEntry(&cursor, position, &entry));
        ++entries_seen_;
        uint32_t idcode;
        // Every entry but a chain's first links back to a shown one, so
        // only a redundant first entry can be shown; hidden_first_ names
        // those that are not.
        const bool first = entry.StartsChain(db_->ring().cut());
        const bool shown = !entry.redundant || (first && hidden_first_.count(position) == 0);
        if (first) {
            const auto found = first_.find(position);
            if (found == first_.end()) {
                return Fail(TRAXR_ERR_CORRUPT,
                            "the vc chain entry at 0x%llx (session %u) starts no variable's chain",
                            static_cast<unsigned long long>(position), s);
            }
            idcode = found->second;
            first_.erase(found);
        } else {
            const auto found = latest_.find(entry.previous());
            if (found == latest_.end()) {
                return Fail(TRAXR_ERR_CORRUPT,
                            "the vc chain entry at 0x%llx (session %u) links back to 0x%llx, "
                            "where no variable's entry lies",
                            static_cast<unsigned long long>(position), s,
                            static_cast<unsigned long long>(entry.previous()));
            }
            idcode = found->second;
            latest_.erase(found);
        }
        latest_.emplace(position, idcode);
        if (options_.on_entry) {
            TAVRI_RETURN_IF_ERROR(options_.on_entry(s, idcode, entry));
        }

        if (decode && Selected(idcode) && shown) {
            starting_.push_back(Starting{idcode, entry});
        }

        position = cursor.position();
        if (cursor.BlockEnded()) {
            if (!cursor.BlockFull()) {
                break;
            }
            const StreamBlock *next = chain.FindPosition(position);
            if (next == nullptr || next->owner != s) {
                break;
            }
        }
    }
    // Lanes in idcode order: the lanes due at one time are then handed out
    // in the order they lie in memory.
    std::stable_sort(starting_.begin(), starting_.end(),
                     [](const Starting &a, const Starting &b) { return a.idcode < b.idcode; });
    // Off while the lanes start: ahead_ is sized for them once all are.
    prefetch_ = false;
    for (const Starting &start : starting_) {
        if (lanes_used_ == lanes_.size()) {
            lanes_.emplace_back(&db_->vc_stream(), db_->field_order());
        }
        const uint32_t lane = lanes_used_++;
        Lane &l = lanes_[lane];
        l.idcode = start.idcode;
        TAVRI_RETURN_IF_ERROR(l.decoder.Start(start.entry, db_->ContextFor(start.idcode)));
        TAVRI_RETURN_IF_ERROR(Advance(lane));
    }
    starting_.clear();
    prefetch_ = lanes_used_ >= kPrefetchLanes;
    if (prefetch_) {
        ahead_.resize(lanes_used_);
        for (uint32_t lane = 0; lane < lanes_used_; ++lane) {
            ahead_[lane] = lanes_[lane].decoder.Ahead();
        }
    }
    return Status();
}

Status ChangeWalk::TakeEarliest() {
    const auto earliest = pending_.begin();
    Pending::iterator &filed = FiledFor(earliest->first);
    if (filed == earliest) filed = pending_.end();
    now_time_ = earliest->first;
    now_.swap(earliest->second);
    pending_.erase(earliest);
    now_next_ = 0;
    have_now_ = true;
    OrderNow();
    if (now_time_ < last_time_) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "time goes backwards: idcode %u changes at %llu after idcode %u changed "
                    "at %llu",
                    lanes_[now_.front()].idcode, static_cast<unsigned long long>(now_time_),
                    last_idcode_, static_cast<unsigned long long>(last_time_));
    }
    return Status();
}

// Lanes are numbered in idcode order and filed in that order from each
// earlier time, so the lanes due at a time hold a few runs in order: usually
// one, or two (a clock that changed in between). When many lanes are due,
// marking them in a bit set and reading it back sorts them in one pass.
void ChangeWalk::OrderNow() {
    if (now_.size() * 16 >= lanes_used_) {
        marks_.assign((lanes_used_ + 63) / 64, 0);
        for (uint32_t lane : now_) marks_[lane / 64] |= uint64_t{1} << (lane % 64);
        // No more lanes come back out than went in: written in place.
        uint32_t *out = now_.data();
        for (size_t word = 0; word < marks_.size(); ++word) {
            for (uint64_t bits = marks_[word]; bits != 0; bits &= bits - 1) {
                *out++ = static_cast<uint32_t>(word * 64 + std::countr_zero(bits));
            }
        }
        now_.resize(static_cast<size_t>(out - now_.data()));
        return;
    }
    const auto first_run_end = std::is_sorted_until(now_.begin(), now_.end());
    if (first_run_end == now_.end()) {
        return;
    }
    if (std::is_sorted(first_run_end, now_.end())) {
        merged_.clear();
        std::merge(now_.begin(), first_run_end, first_run_end, now_.end(),
                   std::back_inserter(merged_));
        now_.swap(merged_);
    } else {
        std::sort(now_.begin(), now_.end());
    }
}

void ChangeWalk::DropLanes() {
    pending_.clear();
    for (Pending::iterator &filed : filed_) filed = pending_.end();
    now_.clear();
    now_next_ = 0;
    have_now_ = false;
    again_ = UINT32_MAX;
}

// After the last session every chain must have been walked to the entry
// the chain table names.
Status ChangeWalk::CheckEnd() const {
    if (!first_.empty()) {
        const auto &[position, idcode] = *first_.begin();
        return Fail(TRAXR_ERR_CORRUPT,
                    "the vc chain of idcode %u starts at 0x%llx, which lies in no session's "
                    "run of vc chain entries",
                    idcode, static_cast<unsigned long long>(position));
    }
    const ChainTable &table = db_->chain_table();
    for (const auto &[position, idcode] : latest_) {
        if (table.last[idcode] != position) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the vc chain of idcode %u ends at 0x%llx, the chain table says 0x%llx",
                        idcode, static_cast<unsigned long long>(position),
                        static_cast<unsigned long long>(table.last[idcode]));
        }
    }
    return Status();
}

// Every step the inline Next does not take: a lane due again at once, the
// next time, the next session, the end, changes before the window, a
// failure left from reading ahead.
Status ChangeWalk::NextStep(uint32_t *idcode, const Change **change, bool *done) {
    *done = false;
    if (!deferred_.ok()) {
        Status failure = std::move(deferred_);
        deferred_ = Status();
        return failure;
    }
    for (;;) {
        if (finished_) {
            *done = true;
            return Status();
        }
        uint32_t lane;
        if (again_ != UINT32_MAX) {
            lane = again_;
            again_ = UINT32_MAX;
        } else if (now_next_ < now_.size()) {
            if (prefetch_) Prefetch();
            lane = now_[now_next_++];
        } else if (!pending_.empty()) {
            TAVRI_RETURN_IF_ERROR(TakeEarliest());
            if (now_time_ > options_.to) {
                // Nothing later can fall inside the window.
                for (uint32_t i = 0; i < lanes_used_; ++i) lanes_[i].decoder.Release();
                DropLanes();
                stopped_ = true;
            }
            continue;
        } else {
            DropLanes();
            lanes_used_ = 0;
            if (stopped_ || next_session_ == db_->sessions().size()) {
                finished_ = true;
                if (!stopped_) {
                    TAVRI_RETURN_IF_ERROR(CheckEnd());
                }
                continue;
            }
            const uint32_t s = next_session_++;
            if (db_->sessions()[s].start_time > options_.to) {
                stopped_ = true;
                continue;
            }
            TAVRI_RETURN_IF_ERROR(EnterSession(s));
            continue;
        }
        if (now_time_ >= options_.from) return HandOut(lane, idcode, change);
        // Before the window: decoded for its checks, not handed out.
        Lane &l = lanes_[lane];
        last_time_ = now_time_;
        last_idcode_ = l.idcode;
        TAVRI_RETURN_IF_ERROR(l.decoder.Value(&current_));
        TAVRI_RETURN_IF_ERROR(Advance(lane));
    }
}

}  // namespace tavri::reader
