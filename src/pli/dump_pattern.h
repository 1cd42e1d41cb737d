// $traxDumpPattern([scope], [level], ["scope pattern"], ["signal pattern"]):
// dumps the scopes below `scope` (or the whole design) whose leaf names
// match the scope pattern, with `level` levels below each (0 all), and in
// them the signals whose leaf names match the signal pattern. A missing
// pattern matches everything.
#ifndef TAVRI_PLI_DUMP_PATTERN_H
#define TAVRI_PLI_DUMP_PATTERN_H

#include "sim/pli_acc.h"

namespace tavri::pli {

int plicompileDumpPattern(int data, int reason);
int plitaskDumpPattern(int data, int reason);

// The dump of one request (the task and the Tcl command); recorded instead
// while dumping waits for its +trax+dumpon+ time.
void DumpPattern(handle root, int level, const char *scope_pattern, const char *signal_pattern);

// Dumping started: the recorded requests, newest first, then forgotten.
void ReplayDeferredPatterns();
// Forgets the recorded requests without dumping them.
void FreeDeferredPatterns();

}  // namespace tavri::pli

#endif
