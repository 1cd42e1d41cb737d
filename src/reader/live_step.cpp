#include "reader/live_step.h"

#include <algorithm>

namespace tavri::reader {
namespace {

// The header's xtag type before the first time tag.
constexpr uint8_t kNoTimeTagYet = 1;

}  // namespace

bool StoppedAt(const Database &db, uint64_t *time) {
    const std::optional<StopMark> &mark = db.stop_mark();
    if (!db.live() || !mark.has_value() || mark->session_count != db.header().session_count) {
        return false;
    }
    *time = mark->time;
    return true;
}

uint64_t HiddenFrom(const Database &db) {
    if (!db.live()) {
        return kShowAll;
    }
    // Flushed at a stop, and no session since: complete up to the stop.
    if (uint64_t stop = 0; StoppedAt(db, &stop)) {
        return stop == kShowAll ? kShowAll : stop + 1;
    }
    return db.sessions().empty() ? 0 : db.sessions().back().end_time;
}

bool VisibleEndTime(const Database &db, uint64_t *time) {
    const uint64_t hidden_from = HiddenFrom(db);
    if (hidden_from != kShowAll) {
        if (hidden_from == 0) return false;
        *time = hidden_from - 1;
        return true;
    }
    // A finished file: its last time tag, once one was written.
    if (db.header().xtag_type == kNoTimeTagYet) return false;
    *time = db.header().maximum_xtag;
    return true;
}

bool FirstTime(const Database &db, uint64_t *time) {
    if (db.header().xtag_type == kNoTimeTagYet) return false;
    *time = db.header().minimum_xtag;
    return true;
}

void DropHidden(uint64_t hidden_from, std::vector<Change> *changes) {
    if (hidden_from == kShowAll) return;
    std::erase_if(*changes, [&](const Change &c) { return c.time >= hidden_from; });
}

}  // namespace tavri::reader
