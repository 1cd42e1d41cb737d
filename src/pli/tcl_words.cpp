#include "pli/tcl_words.h"

#include <charconv>
#include <cstdio>

#include "pli/dumper_state.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr size_t kLongestName = 1023;

constexpr const char *kTaskContextAdvice[] = {
    "*Tavri* Warning: If you want to invoke this TCL command\n",
    "*Tavri* without running the Halvern interactive mode. \n",
    "*Tavri* You have to compile the 'tavri_vlog.v' file into\n",
    "*Tavri* your design library.\n",
    "*Tavri* Run vsim and specify 'tavri_vlog' in design unit list.\n",
};

}  // namespace

std::optional<int> ExactNumber(std::string_view word) {
    int value = 0;
    const char *end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    if (word.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    char printed[16];
    std::snprintf(printed, sizeof printed, "%d", value);
    if (word != printed) {
        return std::nullopt;  // "+1", "007", "-0"
    }
    return value;
}

std::optional<std::string> DottedName(std::string_view word) {
    std::string name(word);
    for (char &c : name) {
        if (c == '/') {
            c = '.';
        }
    }
    if (!name.empty() && name.front() == '.') {
        name.erase(0, 1);
    }
    if (name.size() > kLongestName) {
        return std::nullopt;
    }
    return name;
}

handle FindByWord(const char *word) {
    const std::optional<std::string> name = DottedName(word);
    if (!name.has_value() || name->empty()) {
        return nullptr;
    }
    return sim::g_simBound.acc_handle_by_name(name->c_str(), nullptr);
}

bool HasTaskContext() {
    if (g_dumper.interactive || g_dumper.interactive_task_present) {
        return true;
    }
    for (const char *line : kTaskContextAdvice) {
        sim::g_sim.mti_PrintMessage(line);
    }
    return false;
}

}  // namespace tavri::pli
