#include "sim/sim_routines.h"

namespace tavri::sim {

Routines g_sim;
Routines g_simBound;

void Bind(const Routines &routines) {
    g_sim = routines;
    g_simBound = routines;
}

int CountUnbound(const Routines &routines, const char **first_missing) {
    int missing = 0;
#define TAVRI_SIM_CHECK(ret, name, params)                         \
    if (routines.name == nullptr) {                                \
        if (missing == 0 && first_missing != nullptr) {            \
            *first_missing = #name;                                \
        }                                                          \
        ++missing;                                                 \
    }
    TAVRI_SIM_ROUTINES(TAVRI_SIM_CHECK)
#undef TAVRI_SIM_CHECK
    return missing;
}

}  // namespace tavri::sim
