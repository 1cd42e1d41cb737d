// The +trax+dumpon+ and +trax+dumpoff+ times: dumping starts and stops at
// given simulation times. Until the start, $traxDumpfile and $traxDumpvars
// record their requests, which are replayed when the time comes.
#ifndef TAVRI_PLI_DUMP_TIMES_H
#define TAVRI_PLI_DUMP_TIMES_H

#include "sim/pli_acc.h"

namespace tavri::pli {

// Parses both plus-arguments, once per process.
void ParseDumpTimes();

// Parses them and schedules the reactivations, once per process.
void ArmDumpTimers();

// Records a deferred file request (the current file name).
void RecordDeferredFile();
// Records a scope to dump once dumping starts.
void RecordDeferredScope(handle scope, int level);

// The timer fired (reason_reactivate).
void OnDumpTimer();

}  // namespace tavri::pli

#endif
