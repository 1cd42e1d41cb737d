// $traxSubstituteHier: its argument checks and the call that sets the
// substitution.
#include <optional>
#include <string>

#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/substitute_hier.h"
#include "pli/trace.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr const char kSyntax[] = "Syntax error -$traxSubstituteHier(\"module\",replace level);\n";

bool IsReg(handle object) { return object != nullptr && sim::g_sim.acc_fetch_type(object) == accReg; }

bool IsIntegerVar(handle object) { return object != nullptr && sim::g_sim.acc_fetch_type(object) == accIntegerVar; }

// The string literal of argument n, or none.
const char *LiteralText(int n) {
    s_tfexprinfo info{};
    return sim::g_sim.tf_exprinfo(n, &info) != nullptr ? info.expr_string : nullptr;
}

bool CheckArguments() {
    if (sim::g_sim.tf_nump() != 2) {
        sim::g_sim.tf_error(kSyntax);
        return false;
    }
    bool ok = true;
    if (sim::g_sim.tf_typep(1) == tf_string) {
        if (LiteralText(1) == nullptr) {
            sim::g_sim.tf_error("The #1 arg is invalid.\n");
            ok = false;
        }
    } else if (!IsReg(sim::g_sim.acc_handle_tfarg(1))) {
        sim::g_sim.tf_error("The #1 arg is not a string or register.\n");
        ok = false;
    }
    handle level = sim::g_sim.acc_handle_tfarg(2);
    if (level == nullptr) {
        sim::g_sim.tf_error("The #2 arg is not an integer.\n");
        ok = false;
    } else if (IsIntegerVar(level) || IsReg(level)) {
        // its value is read when the task runs
    } else if (sim::g_sim.acc_fetch_type(level) == accConstant) {
        if (sim::g_sim.acc_fetch_tfarg_int(2) < 0) {
            sim::g_sim.tf_error("The #2 arg is not a positive integer\n");
            ok = false;
        }
    } else {
        sim::g_sim.tf_error("The #2 arg is not an integer or register.\n");
        ok = false;
    }
    if (!ok) {
        sim::g_sim.tf_error(kSyntax);
    }
    return ok;
}

const char *FullNameOr(handle object, const char *otherwise) {
    const char *name = sim::g_sim.acc_fetch_fullname(object);
    return name != nullptr ? name : otherwise;
}

// The substitute name: the literal, or the value of the reg as a string.
std::optional<std::string> NameArgument() {
    if (sim::g_sim.tf_typep(1) == tf_string) {
        const char *text = LiteralText(1);
        return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
    }
    handle reg = sim::g_sim.acc_handle_tfarg(1);
    s_acc_value value{};
    value.format = accStringVal;
    const char *text = sim::g_sim.acc_fetch_value(reg, "%%", &value) != nullptr ? value.value.str : nullptr;
    if (text == nullptr) {
        PrintWarning("traxSubstituteHier- null value of the register (%s).\n", FullNameOr(reg, ""));
        return std::nullopt;
    }
    return std::string(text);
}

// The replace level: the constant, or the value of the variable.
std::optional<int> LevelArgument() {
    handle level = sim::g_sim.acc_handle_tfarg(2);
    if (sim::g_sim.acc_fetch_type(level) == accConstant) {
        return sim::g_sim.acc_fetch_tfarg_int(2);
    }
    s_acc_value value{};
    value.format = accIntVal;
    sim::g_sim.acc_fetch_value(level, "%%", &value);
    if (value.value.integer < 0) {
        PrintWarning("traxSubstituteHier- invalid value of the integer var (%s).\n", FullNameOr(level, ""));
        return std::nullopt;
    }
    return value.value.integer;
}

}  // namespace

int plicompileSubstituteHier(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plicompileDumpvars()\n");  // the check shares its trace line with $traxDumpvars
    return CheckArguments() ? 1 : 0;
}

int plitaskSubstituteHier(int /*data*/, int /*reason*/) {
    DumperState &state = g_dumper;
    sim::g_sim.acc_initialize();
    if (state.substitution.replace_level >= 0) {
        PrintWarning("traxSubstituteHier has been called.\n");
        return 0;
    }
    state.substitution.components.clear();
    if (state.interactive) {
        PrintWarning("traxSubstituteHier is disabled during the Halvern/Onyxa interactive mode.\n");
        return 0;
    }
    if (!CheckArguments()) {
        return 0;
    }
    const std::optional<std::string> name = NameArgument();
    if (!name.has_value()) {
        return 0;
    }
    const std::optional<int> level = LevelArgument();
    if (!level.has_value()) {
        return 0;
    }
    if (!SetSubstitution(*name, *level)) {
        ResetSubstitution();
        return 0;
    }
    return 1;
}

}  // namespace tavri::pli
