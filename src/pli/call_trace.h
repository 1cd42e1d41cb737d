// Tracing of the front end's calls into the simulator: each traced entry of
// the simulator routine table can be swapped for a wrapper that prints the
// routine's name and arguments, calls the simulator's own routine and prints
// the result. The callers keep calling through the table and test nothing.
#ifndef TAVRI_PLI_CALL_TRACE_H
#define TAVRI_PLI_CALL_TRACE_H

namespace tavri::pli {

// Puts the tracing wrapper into every traced entry of the table.
void InstallCallTracing();
// Puts the simulator's own routine back into every traced entry.
void RemoveCallTracing();
// True while every traced entry holds its wrapper.
bool CallTracingInstalled();

}  // namespace tavri::pli

#endif
