#include "pli/options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pli/debug_command.h"
#include "pli/dump_file.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/notices.h"
#include "pli/trace.h"
#include "pli/version.h"
#include "platform/host_info.h"
#include "sim/sim_routines.h"
#include "tavri/txw.h"

namespace tavri::pli {
namespace {

constexpr uint32_t kUnexpandedVectorVersion = 0x57004;

bool g_exit_handler_registered = false;

// A plus-argument that begins with `prefix` and whose rest contains `word`.
// mc_scan_plusargs only shows the first argument with a prefix, and other
// options share these prefixes (+trax_sequential, +traxfile+, +dump+strength
// beside +dump+parameter), so the plain spelling prefix + word is looked up
// on its own too.
bool PlusArgContains(const char *prefix, const char *word) {
    const std::string plain = std::string(prefix) + word;
    if (PlusArg(plain.c_str()) != nullptr) {
        return true;
    }
    const char *rest = PlusArg(prefix);
    return rest != nullptr && std::strstr(rest, word) != nullptr;
}

void ReadMessageSwitches() {
    if (g_dumper.message_switches_read) {
        return;
    }
    g_dumper.message_switches_read = true;
    DumperOptions &options = g_dumper.options;
    options.no_error = EnvNonZero("TRAX_NO_ERROR");
    options.no_warning = EnvNonZero("TRAX_NO_WARNING");
    options.no_all_msg = EnvNonZero("TRAX_NO_ALL_MSG");
    if (const char *file = std::getenv("TRAX_NO_MSG_IN_FILE")) {
        AddSuppressionFile(file);
    }
    if (const char *list = std::getenv("TRAX_NO_MSG")) {
        AddSuppressionList(list, ":\n");
    }
    options.no_warning = options.no_warning || PlusArg("trax_no_warning") != nullptr;
    options.no_error = options.no_error || PlusArg("trax_no_error") != nullptr;
    options.no_all_msg = options.no_all_msg || PlusArg("trax_no_all_msg") != nullptr;
    if (const char *file = PlusArg("trax_no_msg_in_file+")) {
        AddSuppressionFile(file);
    }
    if (const char *list = PlusArg("trax_no_msg+")) {
        AddSuppressionList(list, "+\n");
    }
}

void ExitHandler() { CloseAllDumpFile(); }

// The block compression named by `text` from `source`; a text that names
// none is reported and leaves the choice as it was.
void ChooseCompression(const char *source, const char *text) {
    DumperOptions &options = g_dumper.options;
    uint32_t method = 0;
    int level = 0;
    if (txw_ParseCompression(text, &method, &level) != 0) {
        PrintWarning("%s%s is not a block compression (lzo1b[:1-9|99] or zstd[:1-19]); %s is used.\n",
                     source, text, CompressionText(options).c_str());
        return;
    }
    options.compression_set = true;
    options.compression_method = method;
    options.compression_level = level;
}

}  // namespace

const char *PlusArg(const char *prefix) { return sim::g_sim.mc_scan_plusargs(prefix); }

bool EnvPresent(const char *name) { return std::getenv(name) != nullptr; }

std::string CompressionText(const DumperOptions &options) {
    return std::string(options.compression_method == 1 ? "zstd" : "lzo1b") + ":" +
           std::to_string(options.compression_level);
}

bool EnvNonZero(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && std::atoi(value) != 0;
}

uint32_t SimulatorVersionNumber(const char *product) {
    if (product == nullptr) {
        return 0;
    }
    const char *found = std::strstr(product, "Version");
    if (found == nullptr) {
        return 0;
    }
    const char *at = found + 7;
    while (*at != '\0' && std::isdigit(static_cast<unsigned char>(*at)) == 0) {
        ++at;
    }
    if (*at == '\0') {
        return 0;
    }
    uint32_t major = 0;
    while (std::isdigit(static_cast<unsigned char>(*at)) != 0) {
        major = major * 16 + static_cast<uint32_t>(*at - '0');
        ++at;
    }
    if (*at == '.') {
        ++at;
    }
    uint32_t minor = 0;
    int digits = 0;
    while (digits < 4 && std::isdigit(static_cast<unsigned char>(*at)) != 0) {
        minor = minor * 16 + static_cast<uint32_t>(*at - '0');
        ++at;
        ++digits;
    }
    minor <<= 4 * (4 - digits);
    uint32_t letter = 0;
    if (*at >= 'a' && *at <= 'z') {
        letter = static_cast<uint32_t>(*at - 'a' + 1);
        if (letter > 15) {
            letter = 15;
        }
    }
    return (major << 16) + (minor & 0xfff0) + letter;
}

int OptionsStartup() {
    if (g_dumper.options_started && g_dumper.mode != DumpMode::kScopeFile) {
        return 1;
    }
    g_dumper.options_started = true;
    DumperOptions &options = g_dumper.options;
    txw_SetMessageHooks(WriterWarningHook, WriterErrorHook, WriterInfoHook);
    TraceLogStartup();

    options.debug = EnvPresent("TRAX_DEBUG");
    options.skip_cell_instance = EnvPresent("SKIP_CELL_INSTANCE");
    options.same_net = EnvPresent("TRAX_SAME_NET");
    options.do_not_write = EnvPresent("TRAX_DO_NOT_WRITE");
    if (options.do_not_write) {
        PrintWarning("Do not dump value change\n");
    }
    options.verbose = EnvNonZero("TRAX_DUMP_VERBOSE") ? 1 : 0;
    if (EnvNonZero("TRAX_NO_BUS_COMPRESS")) {
        options.bus_compression = false;
        PrintInfo("Disable the bus compression.\n");
    }

    if (PlusArg("COMM_FILE") != nullptr) {
        g_dumper.interactive = true;
    }
    NoticeNumber(kNoticeVersion, 4300);
    options.dump_parameters = PlusArgContains("dump", "+parameter");

    ReadMessageSwitches();

    if (PlusArgContains("dump", "+strength")) {
        options.strength_mode = 3;
    }
    options.reserve = PlusArgContains("trax", "+reserve");
    options.sequence_numbers = PlusArg("trax_sequential") != nullptr;
    if (const char *glitch = PlusArg("trax_max_glitch")) {
        if (const char *plus = std::strchr(glitch, '+')) {
            options.user_glitch_limit = std::atoi(plus + 1);
            options.user_glitch_limit_set = true;
        }
    }
    options.warning_trace = PlusArg("trax_warning") != nullptr;
    if (PlusArg("trax_autoflush") != nullptr) {
        options.autoflush = true;
        PrintInfo("Enable the automatic flush when the simulation stops.\n");
    }
    if (PlusArg("trax_force_delcb") != nullptr) {
        options.force_callback_delete = true;
        PrintInfo("Force PLI to delete callback at finish time.\n");
    }
    options.check_pid = PlusArg("trax_check_pid") != nullptr;
    options.no_functions = PlusArg("trax_no_functions") != nullptr;
    if (const char *check = std::getenv("TRAX_CHECK_PID"); check != nullptr && std::atoi(check) > 0) {
        options.check_pid = true;
    }

    NoticeNumber(kNoticeProcess, platform::ProcessId());
    NoticeNumber(kNoticeReady, 1);

    if (!g_exit_handler_registered) {
        g_exit_handler_registered = true;
        std::atexit(ExitHandler);
    }

    options.simulator_version = SimulatorVersionNumber(sim::g_sim.acc_product_version());
    TAVRI_TRACE("Detect simulator version=%x\n", options.simulator_version);

    if (const char *text = std::getenv("TRAX_COMPRESSION")) {
        ChooseCompression("TRAX_COMPRESSION=", text);
    }
    if (const char *text = PlusArg("trax+compression+")) {
        ChooseCompression("+trax+compression+", text);
    }

    if (EnvPresent("TRAX_UNEXPEND_VECTOR") || PlusArg("trax_unexpend_vector") != nullptr) {
        options.expanded_vectors = false;
    }
    if (!options.expanded_vectors && options.simulator_version < kUnexpandedVectorVersion) {
        PrintWarning("Do not support unexpend vector.\n");
        options.expanded_vectors = true;
    }
    return 1;
}

void StatusReport(bool arm) {
    if (arm) {
        g_dumper.status_report_armed = true;
    }
    if (!g_dumper.status_report_armed || g_dumper.in_status_report) {
        return;
    }
    g_dumper.in_status_report = true;
    const DumperOptions &options = g_dumper.options;
    auto on_off = [](bool value) { return value ? "on" : "off"; };
    const char *product = sim::g_sim.acc_product_version();
    PrintBanner(false);
    PrintInfo("Internal Status Report\n");
    PrintInfo("==============================================\n");
    PrintInfo("Simulator product  : %s\n", product != nullptr ? product : "");
    PrintInfo("TRAX_DEBUG         : %s\n", on_off(options.debug));
    PrintInfo("SKIP_CELL_INSTANCE : %s\n", on_off(options.skip_cell_instance));
    PrintInfo("TRAX_SAME_NET      : %s\n", on_off(options.same_net));
    PrintInfo("No_Functions       : %s\n", on_off(options.no_functions));
    PrintInfo("Dump parameter     : %s\n", on_off(options.dump_parameters));
    PrintInfo("Dump strength      : %s\n", options.strength_mode == 2 ? "off" : "on");
    PrintInfo("Reserve TRAX file  : %s\n", on_off(options.reserve));
    PrintInfo("Dump sequential num: %s\n", on_off(options.sequence_numbers));
    PrintInfo("Dump glitch signal : User max=%d    TRAX set=%s\n",
              options.user_glitch_limit_set ? options.user_glitch_limit : 0, g_dumper.glitch_off ? "off" : "on");
    PrintInfo("Block compression  : %s\n", CompressionText(options).c_str());
    PrintInfo("Trace mode         : %d\n", g_trace.mode);
    PrintInfo("==============================================\n");
    g_dumper.in_status_report = false;
}

}  // namespace tavri::pli
