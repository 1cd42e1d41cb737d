// The registration tables: the system tasks the simulator learns at load
// time and the Tcl commands added to its prompt.
#ifndef TAVRI_PLI_TASK_TABLE_H
#define TAVRI_PLI_TASK_TABLE_H

#include "sim/pli_tf.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

// The task rows, ended by a row whose type is 0.
extern s_tfcell g_taskTable[];

struct TclCommandRow {
    const char *name;
    sim::TclCommandProc handler;
};

// The Tcl commands in registration order, ended by a row without a name.
extern const TclCommandRow g_tclCommands[];

}  // namespace tavri::pli

#endif
