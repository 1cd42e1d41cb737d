#include "pli/version.h"

#include "sim/sim_routines.h"

namespace tavri::pli {

namespace {
constexpr const char kBanner[] =
    "Tavri TRAX Dumper for ModelSim, Release 5.4v9 (Win95/NT) 05/04/2005\n";
constexpr const char kNotice[] =
    "TRAX database format 2.3: LZO1B-compressed 1 MB blocks, readable while written.\n";
}  // namespace

void PrintBanner(bool long_form) {
    sim::g_sim.io_printf("%s", kBanner);
    if (long_form) {
        sim::g_sim.io_printf("%s", kNotice);
    }
}

int plitaskVersion(int /*data*/, int /*reason*/) {
    PrintBanner(false);
    return 1;
}

int TclVersion(void * /*client_data*/, void * /*interp*/, int /*argc*/, const char * /*argv*/[]) {
    PrintBanner(false);
    return 0;
}

}  // namespace tavri::pli
