#include "pli/esd_dump.h"

#include <optional>
#include <string>
#include <vector>

#include "pli/dump_modes.h"
#include "pli/dumper_state.h"
#include "pli/esd_replay.h"
#include "pli/messages.h"
#include "pli/string_arg.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr int kLevelArgument = 3;

// The text of a string argument, or null.
const char *StringText(int n) {
    s_tfexprinfo info{};
    if (sim::g_sim.tf_exprinfo(n, &info) == nullptr) {
        return nullptr;
    }
    return info.expr_string;
}

// A file name argument is a non-empty string or a vector expression; an
// empty argument is left to the call.
bool CheckFileArgument(int n) {
    if (sim::g_sim.tf_typep(n) == tf_nullparam) {
        return true;
    }
    s_tfexprinfo info{};
    if (sim::g_sim.tf_exprinfo(n, &info) == nullptr) {
        sim::g_sim.tf_error("$traxESDump - The #%d argument is not string or vector type.", n);
        return false;
    }
    switch (info.expr_type) {
        case tf_string:
            return info.expr_string != nullptr && info.expr_string[0] != '\0';
        case tf_readonly:
        case tf_readwrite:
        case tf_rwpartselect:
        case tf_rwmemselect:
            return true;
        default:
            sim::g_sim.tf_error("$traxESDump - The #%d argument is not string or vector type.", n);
            return false;
    }
}

// A level constant (argument 3 only) or a scope, by handle or by name.
bool CheckScopeArgument(int n) {
    handle object = nullptr;
    if (sim::g_sim.tf_typep(n) == tf_string) {
        const char *text = StringText(n);
        if (text == nullptr) {
            sim::g_sim.tf_error("The #%d arg is the null string.\n", n);
            return false;
        }
        object = sim::g_sim.acc_handle_by_name(text, nullptr);
        if (object == nullptr) {
            sim::g_sim.tf_error("Cannot find the instance(%s).\n", text);
            return false;
        }
    } else {
        object = sim::g_sim.acc_handle_tfarg(n);
        if (object == nullptr) {
            sim::g_sim.tf_error("Cannot get the handle of the #%d arg.\n", n);
            return false;
        }
    }
    if (IsScope(object)) {
        return true;
    }
    const int type = sim::g_sim.acc_fetch_type(object);
    if (n == kLevelArgument && type == accConstant) {
        return true;
    }
    const char *type_name = sim::g_sim.acc_fetch_type_str(type);
    sim::g_sim.tf_error("$traxESDump - The type(%s) of #%d arg is invalid.\n", type_name != nullptr ? type_name : "",
                        n);
    return false;
}

bool CheckArguments() {
    const char *syntax =
        "Syntax error - traxESDump(\"input_TRAX_filename\", \"output_TRAX_filename\", [[level][, scope]*])";
    const int count = sim::g_sim.tf_nump();
    if (count < 2) {
        sim::g_sim.tf_error("%s", syntax);
        return false;
    }
    bool ok = CheckFileArgument(1) && CheckFileArgument(2);
    for (int n = 3; ok && n <= count; ++n) {
        ok = CheckScopeArgument(n);
    }
    if (!ok) {
        sim::g_sim.tf_error("%s", syntax);
    }
    return ok;
}

// The level and the scopes of arguments 3 on; the scopes newest first.
int ReadScopeArguments(std::vector<SelectedScope> *selected) {
    int level = kAllLevels;
    const int count = sim::g_sim.tf_nump();
    for (int n = 3; n <= count; ++n) {
        handle object = nullptr;
        if (sim::g_sim.tf_typep(n) == tf_string) {
            const char *text = StringText(n);
            object = text != nullptr ? sim::g_sim.acc_handle_by_name(text, nullptr) : nullptr;
            if (object == nullptr) {
                sim::g_sim.tf_warning("Cannot find the instance(%s).\n", text != nullptr ? text : "");
                continue;
            }
        } else {
            object = sim::g_sim.acc_handle_tfarg(n);
            if (object == nullptr) {
                sim::g_sim.tf_warning("Cannot get the handle of the #%d arg.\n", n);
                continue;
            }
            if (sim::g_sim.acc_fetch_type(object) == accConstant) {
                const int value = sim::g_sim.acc_fetch_tfarg_int(n);
                if (value < 0 || value >= kAllLevels) {
                    PrintWarning("The #%d arg is incorrect. Change the value of level to 0\n", n);
                    level = kAllLevels;
                } else {
                    level = value == 0 ? kAllLevels : value;
                }
                continue;
            }
        }
        if (IsScope(object)) {
            selected->insert(selected->begin(), SelectedScope{object, -1});
        }
    }
    return level;
}

}  // namespace

int plicompileESDump(int /*data*/, int /*reason*/) {
    TAVRI_TRACE("plicompileESDump()\n");
    sim::g_sim.acc_initialize();
    return CheckArguments() ? 1 : 0;
}

int plitaskESDump(int data, int reason) {
    DumperState &state = g_dumper;
    if (state.deferred && !state.dumpon_pending) {
        return 1;  // dumping was switched off for good
    }
    if (plicompileESDump(data, reason) == 0) {
        return 0;
    }
    TAVRI_TRACE("plitaskESDump()\n");
    if (!EnterEssentialSignalMode()) {
        PrintWarning("disable $traxESDump\n");
        return 0;
    }
    state.sync_instance = sim::g_sim.tf_getinstance();
    const std::optional<std::string> template_name = StringArgument(1);
    if (!template_name.has_value()) {
        sim::g_sim.tf_warning("$traxESDump - Invalid #1 filename argument.\n");
        return 0;
    }
    const std::optional<std::string> file_name = StringArgument(2);
    if (!file_name.has_value()) {
        sim::g_sim.tf_warning("$traxESDump - Invalid #2 filename argument.\n");
        return 0;
    }
    state.current_file_name = file_name;
    std::vector<SelectedScope> selected;
    const int level = ReadScopeArguments(&selected);
    const size_t hooked_before = state.hooks.size();
    const bool replayed = ReplayTemplate(*template_name, *file_name, level, selected);
    if (state.dumping_on && state.current_writer != nullptr) {
        TraverseAllVars(kModeInitial, hooked_before);
    }
    if (!replayed) {
        PrintError("$traxESDump ignored\n");
    }
    return 1;
}

}  // namespace tavri::pli
