// The Tcl host: a real Tcl interpreter in which mti_AddTclCommand registers
// the front end's commands, and EvalTcl for the tests to run them.
#include <tcl.h>

#include <mutex>

#include "support/model_sim_internal.h"

namespace tavri::test {

void *ModelSim::TclInterp() {
    if (interp_ == nullptr) {
        static std::once_flag initialised;
        std::call_once(initialised, [] { Tcl_FindExecutable(nullptr); });
        interp_ = Tcl_CreateInterp();
    }
    return interp_;
}

void ModelSim::CloseTcl() {
    if (interp_ != nullptr) {
        Tcl_DeleteInterp(static_cast<Tcl_Interp *>(interp_));
        interp_ = nullptr;
    }
}

// Commands run outside any task instance: relative names resolve from the top.
int ModelSim::TclTrampoline(void *client_data, Tcl_Interp *interp, int argc, const char *argv[]) {
    const auto *command = static_cast<const TclCommand *>(client_data);
    CallContext no_instance(command->sim, nullptr);
    return command->handler(command->client_data, interp, argc, argv);
}

void ModelSim::mti_AddTclCommand(const char *name, sim::TclCommandProc handler, void *client_data,
                                 sim::TclDeleteProc on_delete) {
    if (TclCommand *command = RecordTclCommand(name, handler, client_data, on_delete)) {
        Tcl_CreateCommand(static_cast<Tcl_Interp *>(TclInterp()), name, &TclTrampoline, command,
                          &TclDeleteTrampoline);
    }
}

ModelSim::TclResult ModelSim::EvalTcl(std::string_view script) {
    auto *interp = static_cast<Tcl_Interp *>(TclInterp());
    const std::string text(script);
    const int code = Tcl_Eval(interp, text.c_str());
    return TclResult{code, Tcl_GetStringResult(interp)};
}

}  // namespace tavri::test
