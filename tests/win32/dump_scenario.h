// A dump scenario shared by the 32-bit Windows test host and its Linux twin:
// a small design (scalars, vectors, a reg, an integer), $traxDumpfile and
// $traxDumpvars, some clocked steps, $traxDumpoff and $traxDumpon,
// $traxDumpflush and the finish. The same scenario on both systems must give
// files with the same tree and values.
#ifndef TAVRI_TESTS_WIN32_DUMP_SCENARIO_H
#define TAVRI_TESTS_WIN32_DUMP_SCENARIO_H

#include <cstdio>
#include <string>

#include "support/model_sim.h"

namespace tavri::test {

// Runs the scenario in `sim`: `register_dumper` registers the dumper's tasks
// (the DLL's init_usertfs, or the front end linked in), then the design is
// built and dumped to `trax_path`. Every value the file must hold goes to
// `drive_log` as "<time> <path> <bits>", and each span in which dumping was
// off as "off <from> <to>". Returns an empty string on success, otherwise
// what went wrong (a task that failed, messages the simulator diagnosed).
std::string RunDumpScenario(ModelSim &sim, void (*register_dumper)(), const std::string &trax_path,
                            std::FILE *drive_log);

}  // namespace tavri::test

#endif
