#include "pli/pattern_tree.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <new>

#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/trace.h"
#include "pli/wildcard.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

struct Builder {
    CutMatch match;
    CutExclusion exclude;
    const char *pattern;

    // A node for an eligible scope, or null.
    std::unique_ptr<CutNode> NodeFor(handle scope) {
        bool descend = false;
        const bool matched = match(scope, pattern, &descend);
        if (!descend) {
            return nullptr;
        }
        auto node = std::make_unique<CutNode>();
        node->scope = scope;
        node->matched = matched;
        node->no_match = !matched;
        AddChildren(*node);
        return node;
    }

    void AddChildren(CutNode &parent) {
        // The cut tree walks the scopes with the simulator's own routines:
        // this walk stays out of the call trace.
        for (handle child = sim::g_simBound.acc_next_scope(parent.scope, nullptr); child != nullptr;
             child = sim::g_simBound.acc_next_scope(parent.scope, child)) {
            if (exclude(child)) {
                continue;
            }
            if (std::unique_ptr<CutNode> node = NodeFor(child)) {
                parent.no_match = parent.no_match && node->no_match;
                parent.children.push_back(std::move(node));
            }
        }
        std::reverse(parent.children.begin(), parent.children.end());
    }
};

void TraceNodes(const std::vector<std::unique_ptr<CutNode>> &nodes) {
    for (const auto &node : nodes) {
        if (!node->no_match) {
            const char *name = node->scope != nullptr ? sim::g_sim.acc_fetch_fullname(node->scope) : nullptr;
            // The whole handle value: a 64-bit handle keeps its high bits.
            TracePrint("PT> %s(%" PRIuPTR ")\n", name != nullptr ? name : "NULL",
                       reinterpret_cast<uintptr_t>(node->scope));
        }
        TraceNodes(node->children);
    }
}

}  // namespace

bool BuildCutTree(CutMatch match, CutExclusion exclude, handle root, const char *pattern, CutTree *tree) {
    tree->roots.clear();
    Builder builder{match, exclude, pattern};
    try {
        if (root == nullptr) {
            for (handle top = sim::g_simBound.acc_next_topmod(nullptr); top != nullptr;
                 top = sim::g_simBound.acc_next_topmod(top)) {
                if (exclude(top)) {
                    continue;
                }
                if (std::unique_ptr<CutNode> node = builder.NodeFor(top)) {
                    tree->roots.push_back(std::move(node));
                }
            }
            std::reverse(tree->roots.begin(), tree->roots.end());
        } else if (!exclude(root)) {
            if (std::unique_ptr<CutNode> node = builder.NodeFor(root)) {
                tree->roots.push_back(std::move(node));
            }
        }
        if (tree->roots.empty()) {
            auto none = std::make_unique<CutNode>();
            none->scope = root;
            tree->roots.push_back(std::move(none));
        }
    } catch (const std::bad_alloc &) {
        tree->roots.clear();
        PrintWarning("Memory resource is exhausted.\n");
        return false;
    }
    return true;
}

bool PatternMatchScope(handle scope, const char *pattern, bool *descend) {
    *descend = false;
    const int fulltype = sim::g_sim.acc_fetch_fulltype(scope);
    const DumperOptions &options = g_dumper.options;
    if (fulltype == accBeginKind717 || sim::g_sim.acc_object_of_type(scope, accProtected) != 0 ||
        (fulltype == accCellInstance && options.skip_cell_instance) ||
        (fulltype == accFunction && options.no_functions)) {
        return false;
    }
    const char *name = sim::g_sim.acc_fetch_name(scope);
    if (name == nullptr) {
        return false;
    }
    *descend = true;
    return pattern == nullptr || WildcardMatch(pattern, name);
}

void TraceCutTree(const CutTree &tree) {
    if (!DebugTracing()) {
        return;
    }
    TracePrint("PT>DisplayCutTree\n");
    TraceNodes(tree.roots);
}

}  // namespace tavri::pli
