// The scope map: one mark per scope handle, either "suppressed" (left out of
// every dump by $traxSuppress) or "dumped" (its variables are in the current
// file already). The traversal, the pattern walk and the suppress list all
// consult this one map.
#ifndef TAVRI_PLI_SCOPE_MAP_H
#define TAVRI_PLI_SCOPE_MAP_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "sim/pli_acc.h"

namespace tavri::pli {

enum class ScopeMark : int32_t { kSuppressed = 0, kDumped = 1 };

// Hash of a scope handle over the whole pointer value: the low bits that
// alignment leaves zero are shifted out and the high half is folded into the
// low one, so handles that differ only above bit 31 still spread.
uint32_t HashScopeHandle(handle scope);

struct ScopeHandleHash {
    size_t operator()(handle scope) const noexcept { return HashScopeHandle(scope); }
};

struct ScopeMap {
    std::unordered_map<handle, ScopeMark, ScopeHandleHash> marks;
    // Set by the first suppressed scope; until then the suppress query
    // answers without looking into the map.
    bool suppress_active = false;
};

enum class SuppressResult { kAdded, kAlreadySuppressed };

// Marks one scope suppressed (a dumped mark becomes suppressed).
SuppressResult AddSuppressedScope(handle scope);

// True when the scope has neither mark: not dumped into the current file and
// not suppressed.
bool IsUnmarked(handle scope);

// Marks a scope whose variables went into the current file. A suppressed
// scope stays suppressed.
void MarkDumped(handle scope);

// Forgets every dumped mark and keeps the suppressed ones: called for each
// new file (created or switched to), so that it gets a full dump.
void DropDumpedMarks();

// Forgets both kinds of marks and leaves the suppress list inactive.
void DestroySuppressTables();

}  // namespace tavri::pli

#endif
