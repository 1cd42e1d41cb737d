#include "pli/trace_settings.h"

#include <cstdlib>
#include <cstring>

#include "pli/call_trace.h"
#include "pli/trace.h"
#include "pli/vcl_trace.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

int DecimalValue(const char *text) { return static_cast<int>(std::strtol(text, nullptr, 10)); }

void CloseOwnStream() {
    if (g_trace.stream_is_ours) {
        std::fclose(g_trace.stream);
        g_trace.stream = stderr;
        g_trace.stream_is_ours = false;
    }
}

}  // namespace

void SetTraceMode(const char *value) {
    g_trace.mode = DecimalValue(value);
    if ((g_trace.mode & kTraceCalls) != 0) {
        if ((g_trace.disable_mask & kNoTracePli) == 0) {
            InstallCallTracing();
        }
    } else {
        RemoveCallTracing();
    }
    g_trace.debug = (g_trace.mode & kTraceFlow) != 0 || std::getenv("TRAX_DEBUG") != nullptr;
    if (g_trace.debug) {
        InstallTracingCallbacks();
    }
    sim::g_sim.io_printf("Set debug mode to %d\n", g_trace.mode);
}

void SetTraceFile(const char *name) {
    if (std::strcmp(name, g_trace.file_name) == 0) {
        return;
    }
    if (std::strlen(name) > static_cast<size_t>(kTraceFileNameMax)) {
        sim::g_sim.io_printf("Log file name is longer than %d characters; the log file stays %s\n",
                             kTraceFileNameMax, g_trace.file_name);
        return;
    }
    CloseOwnStream();
    std::strcpy(g_trace.file_name, name);
    if (std::strcmp(name, "stderr") == 0) {
        g_trace.stream = stderr;
    } else if (std::strcmp(name, "stdout") == 0) {
        g_trace.stream = stdout;
    } else if (std::strcmp(name, "simlog") == 0) {
        g_trace.stream = nullptr;
    } else if (FILE *file = std::fopen(name, "w")) {
        g_trace.stream = file;
        g_trace.stream_is_ours = true;
        const char *product = sim::g_sim.acc_product_version();
        TracePrint("Simulator: %s\n", product != nullptr ? product : "*");
    } else {
        sim::g_sim.io_printf("Cannot create log file:%s\n", name);
        g_trace.stream = stderr;
        std::strcpy(g_trace.file_name, "stderr");
    }
    sim::g_sim.io_printf("Set log file to %s\n", g_trace.file_name);
}

void SetTraceDisableMask(const char *value) {
    g_trace.disable_mask = DecimalValue(value);
    if ((g_trace.disable_mask & kNoTracePli) != 0) {
        sim::g_sim.io_printf("Don't trace the PLI 1.0 functions.\n");
    }
    if ((g_trace.disable_mask & kNoTraceVpi) != 0) {
        sim::g_sim.io_printf("Don't trace the VPI functions.\n");
    }
}

void ResetTracing() {
    RemoveCallTracing();
    RemoveTracingCallbacks();
    CloseOwnStream();
    g_trace = TraceState{};
}

}  // namespace tavri::pli
