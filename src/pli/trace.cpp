#include "pli/trace.h"

#include <cstdarg>

#include "sim/sim_routines.h"

namespace tavri::pli {

TraceState g_trace;

void TracePrint(const char *format, ...) {
    va_list args;
    va_start(args, format);
    if (g_trace.stream != nullptr) {
        std::vfprintf(g_trace.stream, format, args);
        std::fflush(g_trace.stream);
    } else {
        char line[kTraceLineMax + 1];
        std::vsnprintf(line, sizeof line, format, args);
        sim::g_sim.io_printf("%s", line);
    }
    va_end(args);
}

}  // namespace tavri::pli
