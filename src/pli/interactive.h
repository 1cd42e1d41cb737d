// Interactive mode: a debugger starts the simulator, reads the database file
// while it grows and drives the dump through the Tcl commands; the dumper
// keeps it told through the numbered notices. $traxInteractive (called by
// the "tavri_vlog" module a user compiles into the design) enters the mode
// when +traxfile+ names a "dump_i.trax" file, and otherwise says that the
// design can serve the Tcl commands that need a task context. Its misctf
// flushes the files and tells the time at every stop, and tells the debugger
// of resets and of the finish.
#ifndef TAVRI_PLI_INTERACTIVE_H
#define TAVRI_PLI_INTERACTIVE_H

namespace tavri::pli {

int plicompileInteractive(int data, int reason);
int plitaskInteractive(int data, int reason);
int plimiscInteractive(int data, int reason);

// Opens the database file for a debugger that has just taken over, then
// tells it the time and prints the resolution report with `time_unit`.
// False when no file is open afterwards.
bool OpenFileForDebugger(int time_unit);

}  // namespace tavri::pli

#endif
