// The Tcl commands a simulator prompt (or a debugger driving it) uses to
// dump: each takes the words of the command (word 0 is its name), does what
// the system task of the same name does through the same operation, reports
// problems on the transcript and returns 0 (TCL_OK) whatever happened.
#ifndef TAVRI_PLI_TCL_COMMANDS_H
#define TAVRI_PLI_TCL_COMMANDS_H

namespace tavri::pli {

// The handlers share the simulator's command signature.
#define TAVRI_TCL_COMMAND(name) int name(void *client_data, void *interp, int argc, const char *argv[])

TAVRI_TCL_COMMAND(TclDumpfile);
TAVRI_TCL_COMMAND(TclDumpvars);
TAVRI_TCL_COMMAND(TclDumpSingle);
TAVRI_TCL_COMMAND(TclDumpvarsToFile);
TAVRI_TCL_COMMAND(TclDumpflush);
TAVRI_TCL_COMMAND(TclDumpoff);
TAVRI_TCL_COMMAND(TclDumpon);
TAVRI_TCL_COMMAND(TclDumpStrength);
TAVRI_TCL_COMMAND(TclSwitchDumpfile);
TAVRI_TCL_COMMAND(TclAutoSwitchDumpfile);
TAVRI_TCL_COMMAND(TclDebug);
TAVRI_TCL_COMMAND(TclDumpFinish);
TAVRI_TCL_COMMAND(TclSubstituteHier);
TAVRI_TCL_COMMAND(TclInteractive);
TAVRI_TCL_COMMAND(TclDumpPattern);

#undef TAVRI_TCL_COMMAND

}  // namespace tavri::pli

#endif
