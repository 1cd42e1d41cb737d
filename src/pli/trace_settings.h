// The trace settings: the trace mode (execution flow, simulator calls), the
// trace file and the disable mask.
#ifndef TAVRI_PLI_TRACE_SETTINGS_H
#define TAVRI_PLI_TRACE_SETTINGS_H

namespace tavri::pli {

enum : int {
    kTraceFlow = 2,   // trace mode bit: the execution-flow lines
    kTraceCalls = 4,  // trace mode bit: every simulator call
};
enum : int {
    kNoTracePli = 1,  // disable mask bit: the PLI 1.0 routines stay untraced
    kNoTraceVpi = 2,  // disable mask bit: the VPI routines (none are called)
};

// Sets the trace mode from its decimal text: swaps the call-tracing wrappers
// in or out of the simulator routine table, switches the execution-flow
// lines, puts the tracing value-change callbacks in place when those are on,
// and prints "Set debug mode to %d\n".
void SetTraceMode(const char *value);

// Sends the trace to "simlog" (the transcript), "stdout", "stderr" or a file
// of that name, and prints "Set log file to %s\n". The current name changes
// nothing; a name longer than kTraceFileNameMax is refused with a message.
void SetTraceFile(const char *name);

// Sets the disable mask from its decimal text and says which routines stay
// untraced. It applies to later trace mode changes.
void SetTraceDisableMask(const char *value);

// Back to the start: the simulator's own routines and callbacks, no trace
// file (one this module opened is closed), every setting at its default.
void ResetTracing();

}  // namespace tavri::pli

#endif
