// What a live file shows. A writer may flush a session in the middle of a
// time step (value-change memory full, an explicit flush, an interactive
// stop), so the end time tag of the last session of a live file may hold only
// some of that step's changes: showing them would show signals at time T
// beside others still before T, a state the design never had. Until the file
// is finished, its changes at that time and later are hidden; the structures
// (header, sessions, chain entries) stay as stored. A file whose writer died
// stays live, and the rule stays the same. A writer that flushed while the
// simulation was paused marks the file as complete up to that time
// (reader/stop_mark.h); until it flushes another session nothing is hidden.
#ifndef TAVRI_READER_LIVE_STEP_H
#define TAVRI_READER_LIVE_STEP_H

#include <cstdint>
#include <vector>

#include "reader/database.h"
#include "reader/values.h"

namespace tavri::reader {

// No change is hidden.
constexpr uint64_t kShowAll = UINT64_MAX;

// Changes at this time and later are hidden: the last session's end time tag
// for a live file (0 when no session was flushed yet), the time after its
// stop while its stop mark holds, kShowAll for a finished one.
uint64_t HiddenFrom(const Database &db);

// The time of the stop the file was flushed at, while its stop mark holds
// (no session flushed since): the file is complete up to that time.
bool StoppedAt(const Database &db, uint64_t *time);

// The last time whose changes are all shown, if any: the time before the
// hidden step for a live file, the maximum time tag for a finished one.
bool VisibleEndTime(const Database &db, uint64_t *time);

// The file's first time, its minimum time tag, once a time tag exists.
bool FirstTime(const Database &db, uint64_t *time);

// Drops the hidden changes of one idcode's list.
void DropHidden(uint64_t hidden_from, std::vector<Change> *changes);

}  // namespace tavri::reader

#endif
