#include "pli/substitute_hier.h"

#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/traversal.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

HierarchySubstitution &Substitution() { return g_dumper.substitution; }

int ComponentCount() { return static_cast<int>(Substitution().components.size()); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

void CreateComponentScope(const std::string &component) {
    txwScopeDesc desc{};
    desc.name = component.c_str();
    desc.second_name = component.c_str();
    desc.scope_type = 0;
    g_txw.CreateScope(g_dumper.current_writer, &desc);
}

std::string Trimmed(const std::string &name) {
    size_t first = 0;
    size_t last = name.size();
    while (first < last && IsBlank(name[first])) ++first;
    while (last > first && IsBlank(name[last - 1])) --last;
    return name.substr(first, last - first);
}

}  // namespace

bool IsReplacedDepth(int depth) {
    const int level = Substitution().replace_level;
    return level >= 0 && depth <= level && depth + ComponentCount() - level >= 1;
}

int MappedDepth(int depth) {
    const int level = Substitution().replace_level;
    return level >= 0 ? depth + ComponentCount() - level : depth;
}

ScopeWrite CreateMappedScope(handle scope, int depth) {
    if (sim::g_sim.acc_fetch_name(scope) == nullptr) {
        return ScopeWrite::kNoName;
    }
    if (IsReplacedDepth(depth)) {
        const int index = depth - 1 + ComponentCount() - Substitution().replace_level;
        CreateComponentScope(Substitution().components[static_cast<size_t>(index)]);
        return ScopeWrite::kWritten;
    }
    if (MappedDepth(depth) <= 0) {
        return ScopeWrite::kDropped;
    }
    return CreateScope(scope) ? ScopeWrite::kWritten : ScopeWrite::kNoName;
}

void EndScopesFromRoot(int depth) {
    for (int d = depth; d > 0 && MappedDepth(d) > 0; --d) {
        g_txw.EndScope(g_dumper.current_writer);
    }
}

void OpenSubstitutionPrefix() {
    const int level = Substitution().replace_level;
    const int count = ComponentCount();
    if (level < 0 || level >= count) {
        return;
    }
    for (const std::string &component : Substitution().components) {
        CreateComponentScope(component);
    }
    for (int i = 0; i < level; ++i) {
        g_txw.EndScope(g_dumper.current_writer);
    }
}

void CloseSubstitutionPrefix() {
    const int level = Substitution().replace_level;
    if (level < 0) {
        return;
    }
    for (int i = 0; i < ComponentCount() - level; ++i) {
        g_txw.EndScope(g_dumper.current_writer);
    }
}

bool SplitSubstituteName(std::string_view name, std::vector<std::string> *components) {
    components->clear();
    size_t i = !name.empty() && name[0] == '.' ? 1 : 0;
    while (i < name.size()) {
        if (name[i] == '.') {
            return false;  // two dots in a row
        }
        size_t end = i;
        std::string component;
        if (name[i] == '\\') {
            // An escaped identifier: everything up to a blank, dots included.
            end = i + 1;
            while (end < name.size() && !IsBlank(name[end])) ++end;
            component.assign(name.substr(i + 1, end - i - 1));
            if (end < name.size()) ++end;
            if (component.empty() || (end < name.size() && name[end] != '.')) {
                return false;
            }
        } else {
            while (end < name.size() && name[end] != '.') {
                if (name[end] == '\\' || IsBlank(name[end])) {
                    return false;
                }
                ++end;
            }
            component.assign(name.substr(i, end - i));
        }
        components->push_back(std::move(component));
        i = end < name.size() ? end + 1 : end;  // past the dot; one at the very end ends the name
    }
    return true;
}

bool SetSubstitution(const std::string &name, int level) {
    for (const DumpFileRecord &file : g_dumper.files) {
        if (file.writer != nullptr && g_txw.GetMaxVarIdcode(file.writer) > 0) {
            PrintWarning("traxSubstituteHier is disabled.\n");
            return false;
        }
    }
    HierarchySubstitution &substitution = Substitution();
    substitution.name = Trimmed(name);
    substitution.replace_level = level;
    if (!SplitSubstituteName(substitution.name, &substitution.components)) {
        PrintWarning("traxSubstituteHier: \"%s\" is an invalid hierarchy scope name.\n", name.c_str());
        return false;
    }
    PrintInfo("traxSubstituteHier:\n\treplace level(%d), Substitute Hierarchy Name(%s).\n", level,
              substitution.name.c_str());
    if (ComponentCount() < level) {
        PrintWarning(
            "\n\t$traxSubstituteHier - \n\tReplace level(%d) is larger than the deepth of \"%s\".\n\tYou will lose "
            "some information of the higher scopes.\n",
            level, substitution.name.c_str());
    }
    return true;
}

void ResetSubstitution() { g_dumper.substitution = HierarchySubstitution{}; }

}  // namespace tavri::pli
