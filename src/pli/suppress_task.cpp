#include "pli/suppress_task.h"

#include <cstring>
#include <optional>
#include <string>

#include "pli/dump_modes.h"
#include "pli/module_map.h"
#include "pli/suppress.h"
#include "pli/suppress_file.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr const char *kSyntax =
    "Syntax - $traxSuppress(\"module_file=\",\"filename\"); \n"
    "Syntax - $traxSuppress(scope|filename_var [,scope|filename_var]*);\n"
    "Syntax - $traxSuppress(\"module_base=\",\"module definition name\" [,\"module definition name\"]*); \n";

void RejectFirstArgument() {
    sim::g_sim.tf_error("Syntax error - The #1 arg is neither a scope nor string.");
    sim::g_sim.tf_error("%s", kSyntax);
}

std::optional<std::string> TfargString(int n) {
    const char *text = sim::g_sim.acc_fetch_tfarg_str(n);
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

// The first argument is a string: a keyword with what follows it, or the
// name of a suppress file.
void SuppressByStrings(int count) {
    const std::optional<std::string> first = TfargString(1);
    if (!first.has_value()) {
        return;
    }
    std::optional<std::string> file_name = first;
    if (*first == "module_base=") {
        ModuleMap modules;
        for (int i = 2; i <= count; ++i) {
            modules.Add(sim::g_sim.acc_fetch_tfarg_str(i));
        }
        SuppressModuleInstances(modules);
        return;
    }
    if (*first == "module_file=") {
        if (count < 2) {
            return;
        }
        file_name = TfargString(2);
    }
    if (file_name.has_value()) {
        ReadSuppressFile(file_name->c_str(), true);
    }
}

// A reg holds the name of a suppress file as a string value.
void ReadFileNamedByReg(handle reg) {
    s_acc_value value{};
    value.format = accStringVal;
    sim::g_sim.acc_fetch_value(reg, "%%", &value);
    const char *text = value.value.str;
    if (text == nullptr) {
        ReadSuppressFile(nullptr, true);
        return;
    }
    while (*text == ' ') {
        ++text;
    }
    const std::string file_name(text);
    ReadSuppressFile(file_name.c_str(), true);
}

}  // namespace

int plicompileSuppress(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    const int count = sim::g_sim.tf_nump();
    if (count < 1) {
        RejectFirstArgument();
        return 0;
    }
    if (sim::g_sim.acc_handle_tfarg(1) == nullptr) {
        if (sim::g_sim.acc_fetch_tfarg_str(1) == nullptr) {
            RejectFirstArgument();
            return 0;
        }
        return 1;
    }
    bool failed = false;
    for (int i = 1; i <= count; ++i) {
        handle argument = sim::g_sim.acc_handle_tfarg(i);
        if (argument == nullptr ||
            (!IsSuppressScope(argument) && sim::g_sim.acc_object_of_type(argument, accReg) == 0)) {
            sim::g_sim.tf_error("Syntax error - The #%d arg is neither a scope nor reg.", i);
            failed = true;
        }
    }
    if (failed) {
        sim::g_sim.tf_error("%s", kSyntax);
        return 0;
    }
    return 1;
}

int plitaskSuppress(int /*data*/, int /*reason*/) {
    if (InEssentialSignalMode()) {
        sim::g_sim.tf_warning("$traxSuppress is already disabled.\n");
        return 0;
    }
    const int count = sim::g_sim.tf_nump();
    if (count >= 1 && sim::g_sim.acc_handle_tfarg(1) == nullptr) {
        SuppressByStrings(count);
        return 1;
    }
    for (int i = 1; i <= count; ++i) {
        handle argument = sim::g_sim.acc_handle_tfarg(i);
        if (IsSuppressScope(argument)) {
            SuppressWithSubtree(argument);
        } else if (argument != nullptr && sim::g_sim.acc_object_of_type(argument, accReg) != 0) {
            ReadFileNamedByReg(argument);
        }
    }
    return 1;
}

}  // namespace tavri::pli
