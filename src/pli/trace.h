// The front end's debug trace: execution-flow lines printed only while debug
// tracing is on, to the transcript or to a trace file.
#ifndef TAVRI_PLI_TRACE_H
#define TAVRI_PLI_TRACE_H

#include <cstdio>

namespace tavri::pli {

// Longest trace file name the settings hold; a longer one is refused.
constexpr int kTraceFileNameMax = 255;
// Longest trace line the transcript gets; a longer one is cut.
constexpr int kTraceLineMax = 1023;

struct TraceState {
    int mode = 0;                // bit 2: execution flow, bit 4: simulator calls
    bool debug = false;          // execution-flow lines are printed
    int disable_mask = 0;        // bit 1: PLI 1.0 routines are not traced
    char file_name[kTraceFileNameMax + 1] = "simlog";
    FILE *stream = nullptr;      // none: the transcript
    bool stream_is_ours = false;
    bool write_value_change = true;  // shown by "-p"; nothing else reads it
    bool log_setting_read = false;   // TRAX_DEBUG_LOG was read
};

extern TraceState g_trace;

inline bool DebugTracing() { return g_trace.debug; }

// Prints one trace line: to the trace stream (flushed) when one is set,
// otherwise to the transcript, cut to kTraceLineMax characters.
void TracePrint(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Trace lines of the execution flow are printed only while tracing is on.
#define TAVRI_TRACE(...)                                    \
    do {                                                    \
        if (::tavri::pli::DebugTracing()) {                 \
            ::tavri::pli::TracePrint(__VA_ARGS__);          \
        }                                                   \
    } while (0)

}  // namespace tavri::pli

#endif
