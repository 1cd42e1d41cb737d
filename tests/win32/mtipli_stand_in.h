// The stand-in for the simulator's PLI library that the Windows test host
// builds as mtipli.dll. Besides the routines tavri.dll imports it exports one
// entry of its own, through which the host hands it the routine table of the
// model simulator that its exports forward to.
#ifndef TAVRI_TESTS_WIN32_MTIPLI_STAND_IN_H
#define TAVRI_TESTS_WIN32_MTIPLI_STAND_IN_H

#include "sim/sim_routines.h"

// The table must outlive every call into the stand-in.
using MtipliServeProc = void (*)(const tavri::sim::Routines *simulator);
inline constexpr const char *kMtipliServeName = "mtipli_serve";

#endif
