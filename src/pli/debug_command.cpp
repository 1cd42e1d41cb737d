#include "pli/debug_command.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "pli/options.h"
#include "pli/trace.h"
#include "pli/trace_settings.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr const char *kHelp[] = {
    "List of TRAX debug commands:\n",
    "-h                          Print help\n",
    "-m [n]                      Set trace mode to [n]\n",
    "   n=2                      Log PLI execution flow\n",
    "   n=4                      Log simulator API call\n",
    "   n=6                      Log both\n",
    "-f [file_name]              Set trace file name\n",
    "-p                          Print trace status\n",
    "-ppli                       Print PLI internal status\n",
    "-te                         Start time measure\n",
    "-tp                         Print time measure result\n",
    "-wvc [enable/disable/e/d]   Enable/Disable TRAX write value change\n",
    "-dtrace [mask]              Disable trace a specific API\n",
    "        mask=1              Disable trace the PLI 1.0 functions\n",
    "        mask=2              Disable trace the VPI functions\n",
};

// The non-empty pieces of `text` between separators.
std::vector<std::string> Tokens(const std::string &text, char separator) {
    std::vector<std::string> tokens;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(separator, at);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > at) {
            tokens.push_back(text.substr(at, end - at));
        }
        at = end + 1;
    }
    return tokens;
}

void PrintStatus() {
    sim::g_sim.io_printf("     Log mode: %d\n", g_trace.mode);
    sim::g_sim.io_printf(" Log filename: %s\n", g_trace.file_name);
    sim::g_sim.io_printf(" Time measure: %s\n", "Disable");
    sim::g_sim.io_printf("TRAX write VC: %s\n", g_trace.write_value_change ? "Enable" : "Disable");
}

void SetWriteValueChange(const std::string &value) {
    if (value == "disable" || value == "d") {
        g_trace.write_value_change = false;
        sim::g_sim.io_printf("Disable TRAX write value change.\n");
    } else if (value == "enable" || value == "e") {
        g_trace.write_value_change = true;
        sim::g_sim.io_printf("Enable TRAX write value change.\n");
    }
}

}  // namespace

void RunDebugCommand(const char *text) {
    if (text == nullptr) {
        return;
    }
    const std::vector<std::string> tokens = Tokens(text, ' ');
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string &command = tokens[i];
        const std::string *value = i + 1 < tokens.size() ? &tokens[i + 1] : nullptr;
        if (command == "-h") {
            for (const char *line : kHelp) {
                sim::g_sim.io_printf("%s", line);
            }
        } else if (command == "-p") {
            PrintStatus();
        } else if (command == "-ppli") {
            StatusReport(true);
        } else if (command == "-te" || command == "-tp") {
            // accepted: nothing is measured
        } else if (command == "-m" || command == "-f" || command == "-wvc" || command == "-dtrace") {
            if (value == nullptr) {
                return;
            }
            ++i;
            if (command == "-m") {
                SetTraceMode(value->c_str());
            } else if (command == "-f") {
                SetTraceFile(value->c_str());
            } else if (command == "-wvc") {
                SetWriteValueChange(*value);
            } else {
                SetTraceDisableMask(value->c_str());
            }
        } else {
            sim::g_sim.io_printf("Unkonwn debug command.\n");
            return;
        }
    }
}

void TraceLogStartup() {
    if (g_trace.log_setting_read) {
        return;
    }
    g_trace.log_setting_read = true;
    const char *setting = std::getenv("TRAX_DEBUG_LOG");
    if (setting == nullptr) {
        return;
    }
    const std::vector<std::string> tokens = Tokens(setting, ':');
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i] == "m") {
            SetTraceMode(tokens[++i].c_str());
        } else if (tokens[i] == "f") {
            SetTraceFile(tokens[++i].c_str());
        } else if (tokens[i] == "dt") {
            SetTraceDisableMask(tokens[++i].c_str());
        }
    }
}

}  // namespace tavri::pli
