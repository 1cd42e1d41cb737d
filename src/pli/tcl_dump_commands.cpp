// The Tcl commands that choose what goes into the dump: traxDumpfile,
// traxDumpvars, traxDumpSingle, traxDumpvarsToFile and traxDumpPattern.
// Every word is checked before anything changes, so that a malformed
// command leaves the dump as it was.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_pattern.h"
#include "pli/dumper_state.h"
#include "pli/dumpvars.h"
#include "pli/messages.h"
#include "pli/scope_file.h"
#include "pli/tcl_commands.h"
#include "pli/tcl_words.h"
#include "pli/traversal.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr const char kDumpvarsSyntax[] = "Syntax error - traxDumpvars [dump_level [scope_name]]\n";
constexpr const char kPatternSyntax[] =
    "Syntax error -$traxDumpPattern([scope],[<level>],[\"Match-Scope\"],[\"Match-Signal\"]);\n";

// Dumps as $traxDumpvars does, into the file it would use.
void DumpAsDumpvars(int level, const std::vector<handle> &handles) {
    const DumperState &state = g_dumper;
    if (state.deferred && !state.dumpon_pending) {
        return;  // the +trax+dumpoff+ time has passed
    }
    PrepareDumpFile();
    DumpScopes(level, handles);
}

// An empty word stands for an empty task argument: no pattern.
const char *PatternWord(const char *word) { return word[0] != '\0' ? word : nullptr; }

}  // namespace

int TclDumpfile(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    if (argc != 2 || argv[1][0] == '\0') {
        PrintError("Syntax error - traxDumpfile filename\n");
        return 0;
    }
    if (!EnterSingleFileMode()) {
        PrintWarning("traxDumpfile is already disabled.\n");
        return 0;
    }
    if (g_dumper.current_writer == nullptr) {
        g_dumper.current_file_name = argv[1];
        CreateDumpFile();
    }
    return 0;
}

int TclDumpvars(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    if (!HasTaskContext()) {
        return 0;
    }
    if (argc > 3) {
        PrintError(kDumpvarsSyntax);
        return 0;
    }
    int level = 0;
    if (argc >= 2) {
        const std::optional<int> number = ExactNumber(argv[1]);
        // Levels count down from a scope; a negative one names no level.
        if (!number.has_value() || *number < 0) {
            PrintError("traxDumpvars - The dump level argument is invalid.\n");
            PrintError(kDumpvarsSyntax);
            return 0;
        }
        level = *number;
    }
    std::vector<handle> handles;
    if (argc == 3) {
        handle scope = FindByWord(argv[2]);
        if (scope == nullptr) {
            PrintError("traxDumpvars - Cannot find the scope(%s).\n", argv[2]);
            return 0;
        }
        handles.push_back(scope);
    }
    if (!EnterSingleFileMode()) {
        PrintWarning("traxDumpvars is already disabled.\n");
        return 0;
    }
    DumpAsDumpvars(level, handles);
    return 0;
}

int TclDumpSingle(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    if (!HasTaskContext()) {
        return 0;
    }
    if (argc != 2) {
        PrintError("Syntax error - traxDumpSingle signal_name\n");
        return 0;
    }
    handle signal = FindByWord(argv[1]);
    if (signal == nullptr) {
        PrintError("traxDumpSingle - Cannot find the signal(%s).\n", argv[1]);
        return 0;
    }
    if (!EnterSingleFileMode()) {
        PrintWarning("traxDumpSingle is already disabled.\n");
        return 0;
    }
    DumpAsDumpvars(1, {signal});
    return 0;
}

int TclDumpvarsToFile(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    if (!HasTaskContext()) {
        return 0;
    }
    if (argc == 2) {
        if (!EnterSingleFileMode()) {
            PrintWarning("traxDumpvarsToFil(scope_file_name) is already disabled.\n");
            return 0;
        }
        const std::string scope_file = argv[1];
        ReadScopeFile(scope_file.c_str());
        // A file the viewer wrote for this command is used up.
        if (g_dumper.viewer_scope_file) {
            std::remove(scope_file.c_str());
        }
        return 0;
    }
    if (argc == 3) {
        if (!EnterScopeFileMode()) {
            PrintWarning("traxDumpvarsToFile(scope_file_name, trax_file_name) is already disabled.\n");
            return 0;
        }
        g_dumper.current_file_name = argv[2];
        if (!ReadScopeFile(argv[1])) {
            LeaveAllModes();
        }
        return 0;
    }
    PrintError("Syntax error - traxDumpvarsToFile scope_filename trax_filename\n");
    return 0;
}

int TclDumpPattern(void * /*client_data*/, void * /*interp*/, int argc, const char *argv[]) {
    if (!HasTaskContext()) {
        return 0;
    }
    sim::g_sim.acc_initialize();
    if (argc != 5) {
        PrintError(kPatternSyntax);
        return 0;
    }
    // Empty words stand for empty task arguments: every top module, level 0,
    // no pattern.
    bool valid = true;
    handle root = nullptr;
    if (argv[1][0] != '\0') {
        root = FindByWord(argv[1]);
        if (root == nullptr) {
            PrintError("traxDumpPattern - Cannot get the handle of the #1 arg.\n");
            valid = false;
        } else if (!IsScope(root)) {
            PrintError("traxDumpPattern - The #1 arg is invalid.\n");
            valid = false;
        }
    }
    int level = 0;
    if (argv[2][0] != '\0') {
        const std::optional<int> number = ExactNumber(argv[2]);
        if (!number.has_value()) {
            PrintError("traxDumpPattern - The #2 arg. is invalid.\n");
            valid = false;
        } else {
            level = *number;
        }
    }
    if (!valid) {
        PrintError(kPatternSyntax);
        return 0;
    }
    if (!EnterSingleFileMode()) {
        PrintWarning("traxDumpPattern is already disabled.\n");
        return 0;
    }
    DumpPattern(root, level, PatternWord(argv[3]), PatternWord(argv[4]));
    return 0;
}

}  // namespace tavri::pli
