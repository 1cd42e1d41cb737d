#include "pli/scope_file.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_times.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/name_token.h"
#include "pli/scope_tree.h"
#include "pli/string_arg.h"
#include "pli/suppress.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr std::string_view kViewerHeader = "# Halvern tView";
constexpr int kNoLevel = -1;

// The object a listed name stands for, and the name that found it. A name
// ending in a select may name a scope (a generate block "g[2]") or a bit of
// a vector; without a level the name without the select is tried first.
handle Resolve(const std::string &name, int level, std::string *resolved) {
    const std::string stripped = WithoutSelect(name);
    auto lookup = [&](const std::string &candidate) {
        handle found = sim::g_sim.acc_handle_by_name(candidate.c_str(), nullptr);
        if (found != nullptr) {
            *resolved = candidate;
        }
        return found;
    };
    if (stripped == name) {
        return lookup(name);
    }
    if (level == kNoLevel) {
        handle found = lookup(stripped);
        return found != nullptr ? found : lookup(name);
    }
    handle whole = lookup(name);
    if (whole != nullptr && IsScope(whole)) {
        return whole;
    }
    handle found = lookup(stripped);
    if (found != nullptr) {
        return found;
    }
    if (whole != nullptr) {
        *resolved = name;
    }
    return whole;
}

void DumpNamedInstance(int level, const std::string &name) {
    DumperState &state = g_dumper;
    state.sync_instance = sim::g_sim.tf_getinstance();
    std::string resolved;
    handle object = Resolve(name, level, &resolved);
    if (object == nullptr) {
        sim::g_sim.tf_warning("Can not find instance : %s\n", name.c_str());
        return;
    }
    if (level < 0) {
        level = 0;
    }
    if (IsSuppressed(object)) {
        return;
    }
    if (state.deferred) {
        RecordDeferredScope(object, level);
        return;
    }
    ScopeTreeAdd(object, level);
    DumpFileRecord *file = CurrentFile();
    if (file != nullptr && file->all_scopes_dumped == 0) {
        file->scopes.push_back({resolved, level});
    }
}

// One line that is not a comment: an optional level (digits followed by a
// blank or a tab) and a name. False when the line is malformed.
bool ParseLine(std::string_view line, int *level, std::string *name) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos) {
        name->clear();
        return true;
    }
    *level = kNoLevel;
    if (line[at] >= '0' && line[at] <= '9') {
        const size_t end = line.find_first_not_of("0123456789", at);
        if (end == std::string_view::npos || (line[end] != ' ' && line[end] != '\t')) {
            return false;
        }
        long value = 0;
        const auto parsed = std::from_chars(line.data() + at, line.data() + end, value);
        *level = parsed.ec == std::errc() && value <= INT_MAX ? static_cast<int>(value) : INT_MAX;
        at = end + 1;
    }
    *name = NameToken(line.substr(at));
    return true;
}

}  // namespace

bool ReadScopeFile(const char *scope_file) {
    DumperState &state = g_dumper;
    state.viewer_scope_file = false;
    std::ifstream in(scope_file);
    if (!in) {
        PrintError("$traxDumpvarsToFile - Cannot open file '%s' for read.\n", scope_file);
        return false;
    }
    size_t hooked_before = state.hooks.size();
    if (!state.deferred) {
        CreateDumpFile();
        if (state.current_writer == nullptr) {
            return false;
        }
        state.traverse_mode = 0;
        state.scopes_traversed = 0;
        hooked_before = state.hooks.size();
        ScopeTreeClear();
    } else {
        RecordDeferredFile();
    }
    int line_number = 0;
    // Whole lines, however long: a name is never cut in two.
    for (std::string line; std::getline(in, line);) {
        ++line_number;
        if (!line.empty() && line.front() == '#') {
            if (line.starts_with(kViewerHeader)) {
                state.viewer_scope_file = true;
            }
            continue;
        }
        int level = kNoLevel;
        std::string name;
        if (!ParseLine(line, &level, &name)) {
            PrintError("Unknown format at line %d of the file '%s'\n", line_number, scope_file);
            continue;
        }
        if (!name.empty()) {
            DumpNamedInstance(level, name);
        }
    }
    if (state.deferred) {
        return true;
    }
    PrintInfo("Start dumping the scopes.\n");
    ScopeTreeWrite();
    ScopeTreeClear();
    SameNetPass();
    state.needs_flush = true;
    if (state.dumping_on) {
        TraverseAllVars(kModeInitial, hooked_before);
    }
    PrintInfo("End of dumping.\n");
    FinishTemporaryFiles();
    return true;
}

int plicompileDumpvarsToFile(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    const int count = sim::g_sim.tf_nump();
    if (count >= 1 && !IsStringArgument(1)) {
        sim::g_sim.tf_error("$traxDumpvarsToFile - The #1 argument is not string type");
    }
    if (count >= 2 && !IsStringArgument(2)) {
        sim::g_sim.tf_error("$traxDumpvarsToFile - The #2 argument is not string type");
    }
    if (count == 1 || count == 2) {
        return 1;
    }
    sim::g_sim.tf_error("Syntax error - $traxDumpvarsToFile(\"scope_file_name\"[, \"TRAX_file_name\"])");
    return 0;
}

int plitaskDumpvarsToFile(int /*data*/, int /*reason*/) {
    DumperState &state = g_dumper;
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumpvarsToFile()\n");
    if (state.deferred && !state.dumpon_pending) {
        return 1;  // dumping was switched off for good
    }
    const int count = sim::g_sim.tf_nump();
    if (count == 1) {
        if (!EnterSingleFileMode()) {
            sim::g_sim.tf_warning("$traxDumpvarsToFile(\"scope_filename\") is already disabled.\n");
            return 0;
        }
        std::optional<std::string> scope_file = StringArgument(1);
        if (!scope_file.has_value()) {
            sim::g_sim.tf_warning("$traxDumpvarsToFile - Invalid filename argument.\n");
            return 0;
        }
        state.scope_file_single = std::move(scope_file);
        ArmDumpTimers();
        const std::string name = *state.scope_file_single;
        ReadScopeFile(name.c_str());
        // A file the viewer wrote for this run is used up.
        if (state.viewer_scope_file) {
            std::remove(name.c_str());
        }
        return 1;
    }
    if (count == 2) {
        if (!EnterScopeFileMode()) {
            sim::g_sim.tf_warning("$traxDumpvarsToFile(\"scope_filename\", \"TRAX_filename\") is already disabled.\n");
            return 0;
        }
        std::optional<std::string> scope_file = StringArgument(1);
        if (!scope_file.has_value()) {
            sim::g_sim.tf_warning("$traxDumpvarsToFile - The #1 argument is invalid.\n");
            LeaveAllModes();
            return 0;
        }
        state.scope_file_own = std::move(scope_file);
        std::optional<std::string> database = StringArgument(2);
        if (!database.has_value()) {
            sim::g_sim.tf_warning("$traxDumpvarsToFile - The #2 argument is invalid.\n");
            LeaveAllModes();
            return 0;
        }
        state.current_file_name = std::move(database);
        ArmDumpTimers();
        const std::string name = *state.scope_file_own;
        if (!ReadScopeFile(name.c_str())) {
            LeaveAllModes();
            return 0;
        }
        return 1;
    }
    return 0;
}

}  // namespace tavri::pli
