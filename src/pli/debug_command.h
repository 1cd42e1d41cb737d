// The debug command line of $traxDebug and of the traxDebug Tcl command: a
// small language that switches the execution-flow trace and the tracing of
// simulator calls, chooses where the trace goes, and prints the trace
// status ("-h" lists the commands).
#ifndef TAVRI_PLI_DEBUG_COMMAND_H
#define TAVRI_PLI_DEBUG_COMMAND_H

namespace tavri::pli {

// Runs one command line, e.g. "-dtrace 1 -m 6 -f trace.log": the text is
// split into tokens at spaces and the commands are taken from left to right;
// a command whose value is missing does nothing, and an unknown token ends
// the line with "Unkonwn debug command.\n". A null text does nothing.
void RunDebugCommand(const char *text);

// Reads TRAX_DEBUG_LOG, once per process: tokens separated by colons, "m"
// followed by a trace mode, "f" by a trace file, "dt" by a disable mask;
// other tokens are passed over (so a file name cannot hold a colon).
void TraceLogStartup();

}  // namespace tavri::pli

#endif
