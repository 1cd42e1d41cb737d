// The Tcl commands that control the dump: flush, off and on, strength,
// switching files, finishing, hierarchy substitution and interactive mode.
// Those with a system task of their own run its routine; the others call
// the operation the task is built on.
#include <optional>
#include <string>

#include "pli/debug_command.h"
#include "pli/dump_control.h"
#include "pli/dump_modes.h"
#include "pli/dumper_state.h"
#include "pli/file_switch.h"
#include "pli/interactive.h"
#include "pli/messages.h"
#include "pli/substitute_hier.h"
#include "pli/tcl_commands.h"
#include "pli/tcl_words.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

int TclDumpflush(void * /*client_data*/, void * /*interp*/, int /*argc*/, const char * /*argv*/[]) {
    plitaskDumpflush(0, 0);
    return 0;
}

int TclDumpoff(void * /*client_data*/, void * /*interp*/, int /*argc*/, const char * /*argv*/[]) {
    plitaskDumpoff(0, 0);
    return 0;
}

// From the prompt dumping goes on at once, with the values signals hold now,
// as the task's misctf does at the end of its step.
int TclDumpon(void * /*client_data*/, void * /*interp*/, int /*argc*/, const char * /*argv*/[]) {
    DumperState &state = g_dumper;
    if (state.deferred) {
        return 0;
    }
    if (state.current_writer == nullptr) {
        // As the task: a file created later starts with dumping on.
        state.dumping_on = true;
        PrintWarning("$traxDumpon - The TRAX file has not been created.\n");
        return 0;
    }
    SwitchDumpingOn();
    return 0;
}

int TclDumpStrength(void * /*client_data*/, void * /*interp*/, int /*argc*/, const char * /*argv*/[]) {
    sim::g_sim.acc_initialize();
    plitaskDumpStrength(0, 0);
    return 0;
}

int TclDumpFinish(void * /*client_data*/, void * /*interp*/, int /*argc*/, const char * /*argv*/[]) {
    plitaskDumpFinish(0, 0);
    return 0;
}

int TclSwitchDumpfile(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    sim::g_sim.acc_initialize();
    if (argc != 2 || argv[1][0] == '\0') {
        PrintError("Syntax error - traxSwitchDumpfile filename\n");
        return 0;
    }
    if (g_dumper.interactive) {
        PrintWarning("traxSwitchDumpfile is disabled during the Halvern interactive mode.\n");
        return 0;
    }
    // A series names its own files; a named switch would leave it behind.
    if (!EnterSingleFileMode() || g_dumper.series.active) {
        PrintWarning("traxSwitchDumpfile is already disabled.\n");
        return 0;
    }
    SwitchToNamedFile(argv[1]);
    return 0;
}

int TclAutoSwitchDumpfile(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    sim::g_sim.acc_initialize();
    if (argc != 4 && argc != 5) {
        PrintError("Syntax error - traxAutoSwitchDumpfile filesize filename amount [log_filename]\n");
        return 0;
    }
    if (g_dumper.interactive) {
        PrintWarning("traxAutoSwitchDumpfile is disabled during the Halvern interactive mode.\n");
        return 0;
    }
    // With a file open the command does nothing, so its numbers do not
    // matter then; otherwise they are checked before anything changes.
    const bool file_open = g_dumper.current_writer != nullptr;
    const std::optional<int> limit = ExactNumber(argv[1]);
    const std::optional<int> amount = ExactNumber(argv[3]);
    if (!file_open && (!limit.has_value() || *limit < 1)) {
        PrintError("traxAutoSwitchDumpfile - Invalid argument for file limitation.\n");
        return 0;
    }
    if (!file_open && (!amount.has_value() || *amount < 0)) {
        PrintError("traxAutoSwitchDumpfile - Invalid argument for file amount.\n");
        return 0;
    }
    if (!EnterSingleFileMode()) {
        PrintWarning("traxAutoSwitchDumpfile is already disabled.\n");
        return 0;
    }
    if (file_open) {
        return 0;
    }
    std::optional<std::string> log_name;
    if (argc == 5) {
        log_name = argv[4];
    }
    StartSwitchSeries(*limit, argv[2], *amount, log_name);
    return 0;
}

int TclDebug(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    sim::g_sim.acc_initialize();
    if (argc != 2) {
        PrintError("Syntax error - traxDebug command \n");
        return 0;
    }
    RunDebugCommand(argv[1]);
    return 0;
}

int TclSubstituteHier(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    DumperState &state = g_dumper;
    if (state.interactive) {
        PrintWarning("traxSubstituteHier is disabled during the Halvern interactive mode.\n");
        return 0;
    }
    sim::g_sim.acc_initialize();
    // A plain int rather than the optional: GCC's -Os inlining otherwise
    // warns that the optional's value may be read uninitialized.
    int level = -1;
    if (argc == 3) level = ExactNumber(argv[2]).value_or(-1);
    if (level < 0) {
        sim::g_sim.tf_error("Syntax error -$traxSubstituteHier(\"module\",replace level);\n");
        return 0;
    }
    // The command may set the substitution again while no variable exists;
    // one it cannot set leaves the one before in force.
    HierarchySubstitution before = state.substitution;
    ResetSubstitution();
    if (!SetSubstitution(argv[1], level)) {
        state.substitution = std::move(before);
    }
    return 0;
}

int TclInteractive(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    DumperState &state = g_dumper;
    sim::g_sim.acc_initialize();
    if (state.interactive) {
        return 0;
    }
    if (!EnterSingleFileMode()) {
        PrintWarning("traxInteractive is already disabled.\n");
        return 0;
    }
    // The name is for the file the debugger gets: the one opened now when
    // none is open, else the next one.
    if (argc == 2 && argv[1][0] != '\0') {
        state.current_file_name = argv[1];
    }
    state.interactive = true;
    OpenFileForDebugger(sim::g_sim.mti_GetResolutionLimit());
    return 0;
}

}  // namespace tavri::pli
