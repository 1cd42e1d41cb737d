// TO BE JOINED with the debug tracing code: the Tcl command traxDebug hands
// its command text ("-p", "-m 6", "-f trace.log" ...) to the same command
// interpreter as $traxDebug. That interpreter is built on another branch;
// until the two meet, RunDebugCommandText only says that tracing is not in
// this build. At the join its body becomes the interpreter's call and this
// header goes.
#ifndef TAVRI_PLI_TCL_DEBUG_JOIN_H
#define TAVRI_PLI_TCL_DEBUG_JOIN_H

namespace tavri::pli {

void RunDebugCommandText(const char *text);

}  // namespace tavri::pli

#endif
