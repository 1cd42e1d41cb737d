#include "pli/scope_tree.h"

#include <memory>
#include <vector>

#include "pli/dump_tree.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/scope_map.h"
#include "pli/substitute_hier.h"
#include "pli/suppress.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

struct Node {
    handle object = nullptr;
    bool is_scope = true;
    bool dumps_variables = false;
    bool children_complete = false;
    int direction = 0;  // signal nodes: port direction
    std::vector<std::unique_ptr<Node>> children;
};

std::vector<std::unique_ptr<Node>> g_roots;

bool RefusedScope(handle scope) {
    const int fulltype = sim::g_sim.acc_fetch_fulltype(scope);
    return sim::g_sim.acc_object_of_type(scope, accProtected) != 0 ||
           (g_dumper.options.skip_cell_instance && fulltype == accCellInstance) ||
           ((g_dumper.options.no_functions || g_dumper.call_no_functions) && fulltype == accFunction);
}

Node *FindChild(std::vector<std::unique_ptr<Node>> &list, handle object) {
    for (auto &node : list) {
        if (sim::g_sim.acc_compare_handles(node->object, object) != 0) {
            return node.get();
        }
    }
    return nullptr;
}

void Expand(Node &node, int depth, int level) {
    if (level == 0 || depth <= level) {
        if (!node.dumps_variables) {
            node.dumps_variables = true;
            std::erase_if(node.children, [](const auto &child) { return !child->is_scope; });
        }
    }
    if (level != 0 && depth >= level) {
        return;
    }
    if (!node.children_complete) {
        node.children_complete = true;
        std::vector<std::unique_ptr<Node>> rebuilt;
        for (handle child = sim::g_sim.acc_next_scope(node.object, nullptr); child != nullptr;
             child = sim::g_sim.acc_next_scope(node.object, child)) {
            if (RefusedScope(child) || sim::g_sim.acc_fetch_fulltype(child) == accBeginKind717 ||
                IsSuppressed(child)) {
                continue;
            }
            std::unique_ptr<Node> reused;
            for (auto &existing : node.children) {
                if (existing != nullptr && existing->is_scope &&
                    sim::g_sim.acc_compare_handles(existing->object, child) != 0) {
                    reused = std::move(existing);
                    break;
                }
            }
            if (reused == nullptr) {
                reused = std::make_unique<Node>();
                reused->object = child;
            }
            rebuilt.push_back(std::move(reused));
        }
        node.children = std::move(rebuilt);
    }
    for (auto &child : node.children) {
        if (child->is_scope) {
            Expand(*child, depth + 1, level);
        }
    }
}

// `depth`: the design depth of the nodes (1 for the top modules), which
// the hierarchy substitution maps; `parent_written`: their parent scope is
// in the writer (its level was not dropped).
void WriteLevel(std::vector<std::unique_ptr<Node>> &nodes, bool parent_dumps, bool parent_written, int depth) {
    // Signals first: a file keeps a scope's variables with its scope record,
    // ahead of its sub-scopes; one written after a sub-scope has no scope.
    for (auto &node : nodes) {
        if (!node->is_scope && !parent_dumps && parent_written) {
            TraverseVarsOnUnexpandVars(node->object, node->direction);
        }
    }
    for (auto &node : nodes) {
        if (!node->is_scope) {
            continue;
        }
        const ScopeWrite write = CreateMappedScope(node->object, depth);
        if (write == ScopeWrite::kNoName) {
            TAVRI_TRACE("DACC_fetch_name return NULL(TraverseVarsOnScope fetch scope name)\n");
            if (g_dumper.options.warning_trace) {
                if (const char *full = sim::g_sim.acc_fetch_fullname(node->object)) {
                    sim::g_sim.tf_warning("  scope : %s\n", full);
                } else {
                    sim::g_sim.tf_warning("  full scope name not found\n");
                }
            }
            continue;
        }
        const bool written = write == ScopeWrite::kWritten;
        if (written && node->dumps_variables) {
            TraverseVarsOnScope(node->object, 1, 1, false);
        }
        WriteLevel(node->children, node->dumps_variables, written, depth + 1);
        if (written) {
            g_txw.EndScope(g_dumper.current_writer);
        }
    }
}

}  // namespace

void ScopeTreeAdd(handle object, int level) {
    if (object == nullptr) {
        for (handle top = sim::g_sim.acc_next_topmod(nullptr); top != nullptr; top = sim::g_sim.acc_next_topmod(top)) {
            ScopeTreeAdd(top, level);
        }
        return;
    }
    const bool scope = IsScope(object);
    if (scope) {
        if (RefusedScope(object)) {
            return;
        }
    } else {
        if (sim::g_sim.acc_fetch_type(object) == accConstant) {
            return;
        }
        handle parent = sim::g_sim.acc_handle_scope(object);
        if (parent != nullptr && !IsUnmarked(parent)) {
            return;
        }
    }
    // The path from the top of the design down to the object.
    std::vector<handle> path;
    for (handle at = object; at != nullptr; at = sim::g_sim.acc_handle_scope(at)) {
        path.push_back(at);
        if (path.size() > 4096) {
            break;  // a cycle in the simulator's answers
        }
    }
    std::vector<std::unique_ptr<Node>> *level_nodes = &g_roots;
    Node *parent = nullptr;
    for (size_t i = path.size(); i-- > 0;) {
        handle at = path[i];
        Node *found = FindChild(*level_nodes, at);
        if (found == nullptr) {
            const bool only_signal_missing = !scope && i == 0;
            if (only_signal_missing && parent != nullptr && parent->dumps_variables) {
                return;  // the scope already dumps this signal
            }
            auto node = std::make_unique<Node>();
            node->object = at;
            node->is_scope = i != 0 || scope;
            if (!node->is_scope) {
                handle signal_scope = sim::g_sim.acc_handle_scope(at);
                BuildPortList(signal_scope);
                const char *name = sim::g_sim.acc_fetch_name(at);
                node->direction = name != nullptr ? TakePortDirection(name) : 0;
                ClearPortList();
            }
            found = node.get();
            level_nodes->insert(level_nodes->begin(), std::move(node));
        }
        parent = found;
        level_nodes = &found->children;
    }
    if (scope && parent != nullptr) {
        Expand(*parent, 1, level);
    }
}

void ScopeTreeWrite() {
    DumperState &state = g_dumper;
    if (state.current_writer == nullptr || g_roots.empty()) {
        return;
    }
    state.traverse_mode = 0;
    if (!BeginDumpTree("Failed to create a tree in TRAX file. Ignore dumping.\n")) {
        return;
    }
    WriteLevel(g_roots, false, true, 1);
    EndDumpTree();
    state.needs_flush = true;
}

void ScopeTreeClear() { g_roots.clear(); }

}  // namespace tavri::pli
