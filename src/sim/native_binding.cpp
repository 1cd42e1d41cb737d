// The native PLI entry: the simulator loads the shared library and calls
// init_usertfs. The routine table is filled from the simulator's own exported
// TF, ACC and mti routines: on Linux this library leaves them undefined for
// the loading process to supply; tavri.dll imports them from mtipli.dll.
#include "pli/registration.h"
#include "sim/sim_routines.h"

extern "C" {
#define TAVRI_DECLARE_SIMULATOR_ROUTINE(ret, name, params) ret name params;
TAVRI_SIM_ROUTINES(TAVRI_DECLARE_SIMULATOR_ROUTINE)
#undef TAVRI_DECLARE_SIMULATOR_ROUTINE
}

#ifdef _WIN32
#define TAVRI_ENTRY_POINT extern "C" __declspec(dllexport)
#else
#define TAVRI_ENTRY_POINT extern "C" __attribute__((visibility("default")))
#endif

TAVRI_ENTRY_POINT void init_usertfs(void) {
    tavri::sim::Routines routines;
#define TAVRI_TAKE_SIMULATOR_ROUTINE(ret, name, params) routines.name = &::name;
    TAVRI_SIM_ROUTINES(TAVRI_TAKE_SIMULATOR_ROUTINE)
#undef TAVRI_TAKE_SIMULATOR_ROUTINE
    tavri::sim::Bind(routines);
    tavri::pli::RegisterDumper();
}
