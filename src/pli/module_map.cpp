#include "pli/module_map.h"

#include <cstring>

#include "pli/messages.h"
#include "pli/suppress.h"
#include "pli/traversal.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

void Visit(handle scope, const ModuleMap &modules) {
    // Only module instances are matched; the writer's scope type is the
    // module type for them (and for a scope of unknown kind).
    if (WriterScopeType(scope) == 0 && modules.Contains(sim::g_sim.acc_fetch_defname(scope))) {
        SuppressWithSubtree(scope);
        return;
    }
    for (handle child = sim::g_sim.acc_next_scope(scope, nullptr); child != nullptr;
         child = sim::g_sim.acc_next_scope(scope, child)) {
        Visit(child, modules);
    }
}

}  // namespace

void ModuleMap::Add(const char *definition_name) {
    if (definition_name == nullptr) {
        return;
    }
    const size_t length = std::strlen(definition_name);
    if (length > kMaxDefinitionName) {
        PrintWarning("$traxSuppress - The module definition name '%.40s...' is longer than %zu characters. Ignore it.\n",
                     definition_name, kMaxDefinitionName);
        return;
    }
    names_.emplace(definition_name, length);
}

bool ModuleMap::Contains(const char *definition_name) const {
    return definition_name != nullptr && names_.count(definition_name) != 0;
}

void SuppressModuleInstances(const ModuleMap &modules) {
    if (modules.Empty()) {
        return;
    }
    for (handle top = sim::g_sim.acc_next_topmod(nullptr); top != nullptr; top = sim::g_sim.acc_next_topmod(top)) {
        Visit(top, modules);
    }
}

}  // namespace tavri::pli
