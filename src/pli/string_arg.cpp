#include "pli/string_arg.h"

#include "sim/sim_routines.h"

namespace tavri::pli {

std::optional<std::string> StringArgument(int n) {
    s_tfexprinfo info{};
    const char *text = nullptr;
    if (sim::g_sim.tf_exprinfo(n, &info) != nullptr && info.expr_type == tf_string) {
        text = info.expr_string;
    } else {
        text = sim::g_sim.tf_getcstringp(n);
    }
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    return std::string(text);
}

bool IsStringArgument(int n) {
    s_tfexprinfo info{};
    if (sim::g_sim.tf_exprinfo(n, &info) != nullptr && info.expr_string != nullptr) {
        return true;
    }
    return sim::g_sim.tf_getcstringp(n) != nullptr;
}

}  // namespace tavri::pli
