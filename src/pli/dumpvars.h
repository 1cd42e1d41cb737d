#ifndef TAVRI_PLI_DUMPVARS_H
#define TAVRI_PLI_DUMPVARS_H

#include <vector>

#include "sim/pli_acc.h"

namespace tavri::pli {

int plicompileDumpvars(int data, int reason);
int plitaskDumpvars(int data, int reason);

// The body of $traxDumpvars after its arguments: the whole design without
// handles, else the scope tree of the handles; then the initial values.
// Restore and the deferred replay use it too.
void DumpScopes(int level, const std::vector<handle> &handles);

// Creates the dump file for a dump, or records the request while dumping
// waits for its start time (the task and the Tcl commands).
void PrepareDumpFile();

}  // namespace tavri::pli

#endif
