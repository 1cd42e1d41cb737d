// What the simulator offers around the design: its transcript, its command
// line, its name and version, its time resolution.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

constexpr int kAccStringRing = 8;

void PrintWithPrefix(const char *prefix, const char *format, va_list args) __attribute__((format(printf, 2, 0)));
void PrintWithPrefix(const char *prefix, const char *format, va_list args) {
    char text[2048];
    std::vsnprintf(text, sizeof text, format, args);
    const size_t length = std::strlen(text);
    const bool ends_line = length > 0 && text[length - 1] == '\n';
    vpi_printf(const_cast<char *>("%s%s%s"), prefix, text, ends_line ? "" : "\n");
}

}  // namespace

char *AccString(const char *text) {
    static std::string ring[kAccStringRing];
    static int next = 0;
    std::string &slot = ring[next];
    next = (next + 1) % kAccStringRing;
    slot = text != nullptr ? text : "";
    return slot.data();
}

void IoPrintf(const char *format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    vpi_printf(const_cast<char *>("%s"), text);
}

void TfError(const char *format, ...) {
    va_list args;
    va_start(args, format);
    PrintWithPrefix("ERROR: ", format, args);
    va_end(args);
}

void TfWarning(const char *format, ...) {
    va_list args;
    va_start(args, format);
    PrintWithPrefix("WARNING: ", format, args);
    va_end(args);
}

char *McScanPlusargs(const char *prefix) {
    s_vpi_vlog_info info{};
    if (prefix == nullptr || vpi_get_vlog_info(&info) == 0) {
        return nullptr;
    }
    const size_t length = std::strlen(prefix);
    for (int i = 0; i < info.argc; ++i) {
        const char *argument = info.argv[i];
        if (argument != nullptr && argument[0] == '+' && std::strncmp(argument + 1, prefix, length) == 0) {
            return const_cast<char *>(argument + 1 + length);
        }
    }
    return nullptr;
}

char *AccProductVersion() {
    static std::string text;
    if (text.empty()) {
        s_vpi_vlog_info info{};
        if (vpi_get_vlog_info(&info) != 0) {
            text = std::string(info.product != nullptr ? info.product : "simulator") + " Version " +
                   (info.version != nullptr ? info.version : "");
        }
    }
    return text.data();
}

int AccInitialize() { return 1; }

int ResolutionLimit() { return vpi_get(vpiTimePrecision, nullptr); }

void PrintMessage(const char *text) { vpi_printf(const_cast<char *>("%s"), text != nullptr ? text : ""); }

// This simulator has no Tcl prompt: commands are accepted and never called.
void AddTclCommand(const char * /*name*/, sim::TclCommandProc /*handler*/, void * /*client_data*/,
                   sim::TclDeleteProc /*on_delete*/) {}

}  // namespace tavri::vpi
