#include "pli/debug_task.h"

#include <optional>
#include <string>

#include "pli/debug_command.h"
#include "pli/string_arg.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

int plicompileDebug(int /*data*/, int /*reason*/) {
    if (sim::g_sim.tf_nump() != 1) {
        sim::g_sim.tf_error("Syntax error - $traxDebug(\"command\")");
        return 0;
    }
    return IsStringArgument(1) ? 1 : 0;
}

int plitaskDebug(int /*data*/, int /*reason*/) {
    const std::optional<std::string> command = StringArgument(1);
    if (!command.has_value()) {
        sim::g_sim.tf_warning("The arguments of $traxDebug() are mismatched.\n");
        return 0;
    }
    RunDebugCommand(command->c_str());
    return 1;
}

}  // namespace tavri::pli
