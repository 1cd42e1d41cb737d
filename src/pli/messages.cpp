#include "pli/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "pli/dumper_state.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr size_t kLineSize = 1024;

enum class Level { kInfo, kWarning, kError };

bool Silenced(Level level) {
    const DumperOptions &options = g_dumper.options;
    if (options.no_all_msg) {
        return true;
    }
    return (level == Level::kWarning && options.no_warning) || (level == Level::kError && options.no_error);
}

// Prints one line unless a suppression text occurs in it.
void Emit(Level level, const char *prefix, const char *text) {
    if (Silenced(level)) {
        return;
    }
    char line[kLineSize];
    std::snprintf(line, sizeof line, "%s%s", prefix, text);
    const std::string_view whole(line);
    for (const std::string &suppressed : g_dumper.suppressed_messages) {
        if (whole.find(suppressed) != std::string_view::npos) {
            return;
        }
    }
    sim::g_sim.io_printf("%s", line);
}

void EmitFormatted(Level level, const char *prefix, const char *format, va_list args)
    __attribute__((format(printf, 3, 0)));
void EmitFormatted(Level level, const char *prefix, const char *format, va_list args) {
    char text[kLineSize];
    std::vsnprintf(text, sizeof text, format, args);
    Emit(level, prefix, text);
}

}  // namespace

void PrintInfo(const char *format, ...) {
    va_list args;
    va_start(args, format);
    EmitFormatted(Level::kInfo, "*Tavri* ", format, args);
    va_end(args);
}

void PrintWarning(const char *format, ...) {
    va_list args;
    va_start(args, format);
    EmitFormatted(Level::kWarning, "*Tavri* Warning: ", format, args);
    va_end(args);
}

void PrintError(const char *format, ...) {
    va_list args;
    va_start(args, format);
    EmitFormatted(Level::kError, "*Tavri* Error: ", format, args);
    va_end(args);
}

void WriterWarningHook(const char *text) { Emit(Level::kWarning, "*Tavri* TRAX WARN: ", text); }

void WriterErrorHook(const char *text) { Emit(Level::kError, "*Tavri* TRAX ERR: ", text); }

void WriterInfoHook(const char *text) { Emit(Level::kInfo, "*Tavri* TRAX: ", text); }

void AddSuppressionText(const std::string &text) {
    if (text.empty()) {
        return;
    }
    for (const std::string &listed : g_dumper.suppressed_messages) {
        if (listed == text) {
            return;
        }
    }
    g_dumper.suppressed_messages.push_back(text);
}

void AddSuppressionList(const std::string &list, const char *separators) {
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = list.find_first_of(separators, start);
        const size_t stop = end == std::string::npos ? list.size() : end;
        AddSuppressionText(list.substr(start, stop - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
}

void AddSuppressionFile(const char *path) {
    FILE *file = std::fopen(path, "r");
    if (file == nullptr) {
        return;
    }
    char line[512];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        size_t length = std::strlen(line);
        while (length > 0 && std::strchr(" \t\r\n", line[length - 1]) != nullptr) {
            line[--length] = '\0';
        }
        AddSuppressionText(line);
    }
    std::fclose(file);
}

}  // namespace tavri::pli
