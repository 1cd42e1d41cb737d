#include "pli/suppress.h"

#include <string>

#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/scope_map.h"
#include "pli/traversal.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

const char *FullNameOr(handle object, const char *otherwise) {
    const char *name = object != nullptr ? sim::g_sim.acc_fetch_fullname(object) : nullptr;
    return name != nullptr ? name : otherwise;
}

void WarnAlreadySuppressed(const char *name) {
    PrintWarning("The scope(%s) has already been in suppress list!\n", name);
}

// Every scope below `scope`; a child suppressed before keeps its subtree,
// which was entered with it.
void SuppressSubtree(handle scope) {
    for (handle child = sim::g_sim.acc_next_scope(scope, nullptr); child != nullptr;
         child = sim::g_sim.acc_next_scope(scope, child)) {
        if (AddSuppressedScope(child) == SuppressResult::kAlreadySuppressed) {
            WarnAlreadySuppressed(FullNameOr(child, ""));
        } else {
            SuppressSubtree(child);
        }
    }
}

}  // namespace

bool IsSuppressScope(handle object) {
    // The traversal's scope test, except that the further begin-kind block
    // counts only when the simulator calls it a scope.
    if (object != nullptr && sim::g_sim.acc_fetch_fulltype(object) == accBeginKind716) {
        return sim::g_sim.acc_object_of_type(object, accScope) != 0;
    }
    return IsScope(object);
}

void SuppressWithSubtree(handle scope, const char *name) {
    if (AddSuppressedScope(scope) == SuppressResult::kAlreadySuppressed) {
        // The name may live in the simulator's string buffers; copy it first.
        const std::string shown = name != nullptr ? name : FullNameOr(scope, "");
        WarnAlreadySuppressed(shown.c_str());
        return;
    }
    SuppressSubtree(scope);
}

bool IsSuppressed(handle object) {
    const ScopeMap &map = g_dumper.scope_map;
    if (!map.suppress_active || object == nullptr) {
        return false;
    }
    handle scope = IsScope(object) ? object : sim::g_sim.acc_handle_scope(object);
    const auto found = map.marks.find(scope);
    if (found == map.marks.end() || found->second != ScopeMark::kSuppressed) {
        return false;
    }
    PrintWarning("The instance(%s) is in suppress list. Skip dumping it!\n", FullNameOr(object, ""));
    return true;
}

}  // namespace tavri::pli
