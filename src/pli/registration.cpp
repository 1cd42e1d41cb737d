#include "pli/registration.h"

namespace tavri::pli {

void RegisterWithSimulator(s_tfcell *rows, const TclCommandRow *commands) {
    for (s_tfcell *row = rows; row->type != 0; ++row) {
        sim::g_sim.mti_RegisterUserTF(row);
    }
    for (const TclCommandRow *command = commands; command->name != nullptr; ++command) {
        sim::g_sim.mti_AddTclCommand(command->name, command->handler, nullptr, nullptr);
    }
}

void RegisterDumper() { RegisterWithSimulator(g_taskTable, g_tclCommands); }

}  // namespace tavri::pli
