#include "pli/noarg_check.h"

#include "sim/sim_routines.h"

namespace tavri::pli {

int plicompileNoArg(int /*data*/, int /*reason*/) {
    const int count = sim::g_sim.tf_nump();
    if (count == 0 || (count == 1 && sim::g_sim.tf_typep(1) == tf_nullparam)) {
        return 1;
    }
    sim::g_sim.tf_error("Syntax error - No argument is allowed");
    return 0;
}

}  // namespace tavri::pli
