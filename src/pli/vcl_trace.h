// Tracing value-change callbacks: wrappers that print the callback's name
// and the reason of each change while debug tracing is on, then run the
// callback itself. They can be put in place only while nothing is hooked,
// since a hooked variable keeps the callback it was linked with.
#ifndef TAVRI_PLI_VCL_TRACE_H
#define TAVRI_PLI_VCL_TRACE_H

namespace tavri::pli {

// Puts the six wrappers into the callback slots; with hooks already linked,
// warns "$traxDebug() cannot hook all value change function.\n" and changes
// nothing.
void InstallTracingCallbacks();
// Puts the callbacks themselves back into the slots.
void RemoveTracingCallbacks();

}  // namespace tavri::pli

#endif
