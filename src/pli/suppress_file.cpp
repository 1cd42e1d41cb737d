#include "pli/suppress_file.h"

#include <fstream>
#include <string>

#include "pli/messages.h"
#include "pli/name_token.h"
#include "pli/suppress.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

bool ReadSuppressFile(const char *file_name, bool descend) {
    if (file_name == nullptr) {
        PrintError("$traxSuppress - The filename arg is invalid.\n");
        return false;
    }
    std::ifstream in(file_name);
    if (!in) {
        PrintError("$traxSuppress - Cannot open file '%s' for read.\n", file_name);
        return false;
    }
    // Whole lines, however long: a name is never cut in two.
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.front() == '#') {
            continue;
        }
        const std::string name = NameToken(line);
        if (name.empty()) {
            continue;
        }
        handle found = sim::g_sim.acc_handle_by_name(name.c_str(), nullptr);
        if (found == nullptr) {
            PrintWarning("$traxSuppress - Cannot find the scope(%s).\n", name.c_str());
            continue;
        }
        if (!descend) {
            continue;
        }
        if (!IsSuppressScope(found)) {
            PrintWarning("$traxSuppress - The %s is not a scope.\n", name.c_str());
            continue;
        }
        SuppressWithSubtree(found, name.c_str());
    }
    return true;
}

}  // namespace tavri::pli
