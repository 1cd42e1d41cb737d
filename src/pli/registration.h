#ifndef TAVRI_PLI_REGISTRATION_H
#define TAVRI_PLI_REGISTRATION_H

#include "pli/task_table.h"

namespace tavri::pli {

// Registers each task row with mti_RegisterUserTF until the row whose type
// is 0, then each Tcl command with mti_AddTclCommand (no client data, no
// delete procedure). Reads no option and no environment.
void RegisterWithSimulator(s_tfcell *rows, const TclCommandRow *commands);

// The same with the dumper's own tables: what the simulator's load-time
// entry does once the routine table is bound.
void RegisterDumper();

}  // namespace tavri::pli

#endif
