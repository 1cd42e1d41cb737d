// The Tcl commands the dumper registers, kept by the simulator whether or
// not the build has a Tcl interpreter to run them in.
#include "support/model_sim_internal.h"

namespace tavri::test {

ModelSim::TclCommand *ModelSim::RecordTclCommand(const char *name, sim::TclCommandProc handler, void *client_data,
                                                 sim::TclDeleteProc on_delete) {
    if (name == nullptr || handler == nullptr) {
        Diagnose("mti_AddTclCommand: no name or no handler");
        return nullptr;
    }
    tcl_commands_.push_back(std::make_unique<TclCommand>(TclCommand{this, handler, client_data, on_delete}));
    tcl_names_.emplace_back(name);
    return tcl_commands_.back().get();
}

void ModelSim::TclDeleteTrampoline(void *client_data) {
    const auto *command = static_cast<const TclCommand *>(client_data);
    if (command->on_delete != nullptr) {
        command->on_delete(command->client_data);
    }
}

}  // namespace tavri::test
