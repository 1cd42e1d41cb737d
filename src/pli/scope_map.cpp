#include "pli/scope_map.h"

#include <cstdlib>
#include <new>

#include "pli/dumper_state.h"
#include "pli/messages.h"

namespace tavri::pli {
namespace {

ScopeMap &Map() { return g_dumper.scope_map; }

// The map cannot grow: the dump cannot go on without knowing what it left out.
[[noreturn]] void OutOfMemory() {
    PrintError("CreateVarMapAfterProbe(): Memory resources exhausted.\n");
    std::exit(-1);
}

}  // namespace

uint32_t HashScopeHandle(handle scope) {
    const auto value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(scope));
    const uint64_t shifted = (value & 0xF) == 0 ? value >> 4 : value >> 3;
    return static_cast<uint32_t>(shifted ^ (shifted >> 32));
}

SuppressResult AddSuppressedScope(handle scope) {
    ScopeMap &map = Map();
    map.suppress_active = true;
    try {
        auto [entry, added] = map.marks.try_emplace(scope, ScopeMark::kSuppressed);
        if (!added && entry->second == ScopeMark::kSuppressed) {
            return SuppressResult::kAlreadySuppressed;
        }
        entry->second = ScopeMark::kSuppressed;
    } catch (const std::bad_alloc &) {
        OutOfMemory();
    }
    return SuppressResult::kAdded;
}

bool IsUnmarked(handle scope) { return Map().marks.count(scope) == 0; }

void MarkDumped(handle scope) {
    try {
        Map().marks.try_emplace(scope, ScopeMark::kDumped);
    } catch (const std::bad_alloc &) {
        OutOfMemory();
    }
}

void DropDumpedMarks() {
    std::erase_if(Map().marks, [](const auto &entry) { return entry.second == ScopeMark::kDumped; });
}

void DestroySuppressTables() {
    ScopeMap &map = Map();
    map.marks = {};
    map.suppress_active = false;
}

}  // namespace tavri::pli
