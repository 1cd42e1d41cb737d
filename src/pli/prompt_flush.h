// Flushes for the readers of live files. While the simulation is paused at
// the prompt (an interactive stop, a Tcl command) a flush leaves the file
// holding every change up to now, and the writer marks it so: a viewer then
// shows the stop's own time step, which it hides after a flush that may
// come in the middle of a step.
#ifndef TAVRI_PLI_PROMPT_FLUSH_H
#define TAVRI_PLI_PROMPT_FLUSH_H

#include "sim/sim_routines.h"

struct txwObject;

namespace tavri::pli {

// The simulation is paused at the prompt for the life of the object.
class AtPrompt {
  public:
    AtPrompt();
    ~AtPrompt();
    AtPrompt(const AtPrompt &) = delete;
    AtPrompt &operator=(const AtPrompt &) = delete;

  private:
    bool was_;
};

// Runs a Tcl command handler at the prompt.
template <sim::TclCommandProc handler>
int AtThePrompt(void *client_data, void *interp, int argc, const char *argv[]) {
    const AtPrompt prompt;
    return handler(client_data, interp, argc, argv);
}

// Flushes the writer's file, marked as complete up to now while the
// simulation is paused.
void FlushDumpFile(txwObject *writer);

}  // namespace tavri::pli

#endif
