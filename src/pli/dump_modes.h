// The three dump modes keep the uses of the dumper apart: single-file (every
// task that dumps into the current file), scope-file (each two-argument
// $traxDumpvarsToFile writes a file of its own) and essential-signal.
#ifndef TAVRI_PLI_DUMP_MODES_H
#define TAVRI_PLI_DUMP_MODES_H

namespace tavri::pli {

// Each entry warns through tf_warning and returns false when another mode
// is in force.
bool EnterSingleFileMode();
bool EnterScopeFileMode();
bool EnterEssentialSignalMode();
void LeaveAllModes();
bool InScopeFileMode();
bool InEssentialSignalMode();

}  // namespace tavri::pli

#endif
