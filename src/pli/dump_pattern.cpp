#include "pli/dump_pattern.h"

#include <new>
#include <optional>
#include <string>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_times.h"
#include "pli/dump_tree.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/pattern_tree.h"
#include "pli/scope_map.h"
#include "pli/substitute_hier.h"
#include "pli/suppress.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr const char kSyntax[] =
    "Syntax error -$traxDumpPattern([scope],[<level>],[\"Match-Scope\"],[\"Match-Signal\"]);\n";

const char *FullNameOr(handle object, const char *otherwise) {
    const char *name = object != nullptr ? sim::g_sim.acc_fetch_fullname(object) : nullptr;
    return name != nullptr ? name : otherwise;
}

const char *TypeText(handle object) {
    const char *text = object != nullptr ? sim::g_sim.acc_fetch_type_str(sim::g_sim.acc_fetch_type(object)) : nullptr;
    return text != nullptr ? text : "unknown";
}

const char *OrStar(const char *pattern) { return pattern != nullptr ? pattern : "*"; }
const char *OrNull(const char *text) { return text != nullptr ? text : "NULL"; }

bool CheckArguments() {
    if (sim::g_sim.tf_nump() != 4) {
        sim::g_sim.tf_error(kSyntax);
        return false;
    }
    bool ok = true;
    if (sim::g_sim.tf_typep(1) != tf_nullparam) {
        handle root = sim::g_sim.acc_handle_tfarg(1);
        if (!IsScope(root)) {
            sim::g_sim.tf_error("$traxDumpPattern - The type(%s) of #1 arg is invalid.\n", TypeText(root));
            ok = false;
        }
    }
    if (sim::g_sim.tf_typep(2) == tf_string) {
        ok = false;
    } else if (sim::g_sim.tf_typep(2) != tf_nullparam) {
        handle level = sim::g_sim.acc_handle_tfarg(2);
        if (level == nullptr || sim::g_sim.acc_fetch_type(level) != accConstant) {
            sim::g_sim.tf_error("$traxDumpPattern - The type(%s) of #2 arg is invalid.\n", TypeText(level));
            ok = false;
        }
    }
    for (int n = 3; n <= 4; ++n) {
        const int kind = sim::g_sim.tf_typep(n);
        if (kind != tf_nullparam && kind != tf_string) {
            sim::g_sim.tf_error("$traxDumpPattern - The type of #%d arg is invalid.\n", n);
            ok = false;
        }
    }
    if (!ok) {
        sim::g_sim.tf_error(kSyntax);
    }
    return ok;
}

std::optional<std::string> PatternArgument(int n) {
    if (sim::g_sim.tf_typep(n) != tf_string) {
        return std::nullopt;
    }
    s_tfexprinfo info{};
    if (sim::g_sim.tf_exprinfo(n, &info) == nullptr || info.expr_string == nullptr) {
        return std::nullopt;
    }
    return std::string(info.expr_string);
}

const char *TextOf(const std::optional<std::string> &text) { return text.has_value() ? text->c_str() : nullptr; }

// The variables of a scope the walk dumps. Without a signal pattern the
// scope counts as dumped; with one only some of its signals are in the
// file, and a later $traxDumpvars of the scope still dumps the others.
void DumpSignals(handle scope, const char *signal_pattern) {
    if (signal_pattern == nullptr) {
        MarkDumped(scope);
    }
    DumpScopeObjects(scope, signal_pattern);
}

// `inherited`: the count handed down from the nearest matched scope above
// (its own 1, plus one per level), 0 when none is within reach.
void Visit(const CutNode &node, const char *signal_pattern, int level, int depth, int inherited) {
    int count = 0;
    if (node.matched) {
        count = 1;
    } else if (inherited > 0 && (level == 0 || inherited <= level)) {
        count = inherited;
    }
    if (node.no_match && count == 0) {
        return;
    }
    const bool written = CreateMappedScope(node.scope, depth) == ScopeWrite::kWritten;
    if (written) {
        ClearPortList();
        if (count > 0 && IsUnmarked(node.scope)) {
            DumpSignals(node.scope, signal_pattern);
        }
    }
    for (const auto &child : node.children) {
        Visit(*child, signal_pattern, level, depth + 1, count > 0 ? count + 1 : 0);
    }
    if (written) {
        g_txw.EndScope(g_dumper.current_writer);
    }
}

void WalkCutTree(const CutTree &tree, handle root, int level, const char *scope_pattern,
                 const char *signal_pattern) {
    DumperState &state = g_dumper;
    state.traverse_mode = 0;
    if (!BeginDumpTree("Failed to create tree in TRAX file.\n")) {
        return;
    }
    bool visited = false;
    for (const auto &node : tree.roots) {
        if (node->no_match || node->scope == nullptr) {
            continue;
        }
        visited = true;
        PrintInfo("Start dumping pattern:  root(%s), layer(%d), Scope Pattern(\"%s\"),Signal Pattern(\"%s\").\n",
                  FullNameOr(node->scope, ""), level, OrStar(scope_pattern), OrStar(signal_pattern));
        const int above = CreateScopeFromRoot(sim::g_sim.acc_handle_parent(node->scope));
        Visit(*node, signal_pattern, level, above + 1, 0);
        EndScopesFromRoot(above);
        PrintInfo("End dumping scopes with pattern.\n");
    }
    EndDumpTree();
    state.needs_flush = true;
    if (!visited) {
        PrintInfo("None instance match with traxDumpPattern(%s,%d,\"%s\",\"%s\");\n", FullNameOr(root, "NULL"),
                  level, OrStar(scope_pattern), OrStar(signal_pattern));
    }
}

}  // namespace

int plicompileDumpPattern(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plicompilePattern()\n");
    return CheckArguments() ? 1 : 0;
}

int plitaskDumpPattern(int data, int reason) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumpPattern()\n");
    if (plicompileDumpPattern(data, reason) == 0) {
        return 0;
    }
    if (!EnterSingleFileMode()) {
        sim::g_sim.tf_warning("$traxDumpPattern is already disabled.\n");
        return 0;
    }
    handle root = nullptr;
    if (sim::g_sim.tf_typep(1) != tf_nullparam) {
        root = sim::g_sim.acc_handle_tfarg(1);
        if (root == nullptr) {
            sim::g_sim.tf_warning("Cannot get the handle of the #1 arg.\n");
        }
    }
    const int level = sim::g_sim.tf_typep(2) != tf_nullparam ? sim::g_sim.acc_fetch_tfarg_int(2) : 0;
    const std::optional<std::string> scope_pattern = PatternArgument(3);
    const std::optional<std::string> signal_pattern = PatternArgument(4);
    TAVRI_TRACE("DP> traxDumpPattern(%s,%d,%s,%s)\n", FullNameOr(root, "NULL"), level, OrNull(TextOf(scope_pattern)),
                OrNull(TextOf(signal_pattern)));
    ArmDumpTimers();
    DumpPattern(root, level, TextOf(scope_pattern), TextOf(signal_pattern));
    return 1;
}

void DumpPattern(handle root, int level, const char *scope_pattern, const char *signal_pattern) {
    DumperState &state = g_dumper;
    if (state.deferred) {
        // Once the +trax+dumpoff+ time has passed nothing is replayed.
        if (state.dumpon_pending) {
            try {
                DeferredPattern request;
                request.root = root;
                request.level = level;
                if (scope_pattern != nullptr) request.scope_pattern = scope_pattern;
                if (signal_pattern != nullptr) request.signal_pattern = signal_pattern;
                state.deferred_patterns.push_front(std::move(request));
            } catch (const std::bad_alloc &) {
                PrintWarning("Memory resource is exhausted.\n");
            }
        }
        return;
    }
    if (state.current_writer == nullptr) {
        CreateDumpFile();
    }
    if (state.current_writer == nullptr) {
        return;
    }
    CutTree tree;
    if (!BuildCutTree(PatternMatchScope, IsSuppressed, root, scope_pattern, &tree)) {
        return;
    }
    state.call_no_functions = false;
    TraceCutTree(tree);
    const size_t hooked_before = state.hooks.size();
    WalkCutTree(tree, root, level, scope_pattern, signal_pattern);
    tree.roots.clear();
    if (state.dumping_on) {
        TraverseAllVars(kModeInitial, hooked_before);
    }
}

void ReplayDeferredPatterns() {
    std::deque<DeferredPattern> requests;
    requests.swap(g_dumper.deferred_patterns);
    for (const DeferredPattern &request : requests) {
        DumpPattern(request.root, request.level, TextOf(request.scope_pattern), TextOf(request.signal_pattern));
    }
}

void FreeDeferredPatterns() { g_dumper.deferred_patterns.clear(); }

}  // namespace tavri::pli
