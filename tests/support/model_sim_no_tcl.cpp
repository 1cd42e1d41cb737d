// The Tcl host of a build without a Tcl interpreter (the 32-bit Windows test
// host): mti_AddTclCommand records the command as usual, so registration
// reads the same, but EvalTcl runs nothing and answers with an error.
#include "support/model_sim_internal.h"

namespace tavri::test {
namespace {

constexpr int kTclError = 1;  // TCL_ERROR

}  // namespace

void *ModelSim::TclInterp() { return nullptr; }

// A real interpreter runs each command's delete proc when it is deleted.
void ModelSim::CloseTcl() {
    for (const auto &command : tcl_commands_) {
        TclDeleteTrampoline(command.get());
    }
    tcl_commands_.clear();
}

void ModelSim::mti_AddTclCommand(const char *name, sim::TclCommandProc handler, void *client_data,
                                 sim::TclDeleteProc on_delete) {
    RecordTclCommand(name, handler, client_data, on_delete);
}

ModelSim::TclResult ModelSim::EvalTcl(std::string_view script) {
    return TclResult{kTclError, "no Tcl interpreter in this build: " + std::string(script)};
}

}  // namespace tavri::test
