// Design traversal: which simulator objects become which writer scopes and
// variables, the walk over a scope and its sub-scopes, and the value dumps
// over every hooked variable of a file.
#ifndef TAVRI_PLI_TRAVERSAL_H
#define TAVRI_PLI_TRAVERSAL_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/pli_acc.h"

namespace tavri::pli {

constexpr uint16_t kNoDirectionFilter = 0xFFFF;
constexpr uint16_t kIoOnlyFilter = 0x0707;
constexpr uint16_t kRegOnlyFilter = 0x0F00;
constexpr int kMaxVectorWidth = 0x200000;

// Writer scope type of a scope's fulltype (0 module ... 4 fork); an unknown
// fulltype warns and counts as module.
uint8_t WriterScopeType(handle scope);

// Writer variable type of an object's fulltype.
uint8_t WriterVarType(int fulltype);

// A scope in the sense of the traversal: module instances, tasks, functions
// and named blocks (or anything the simulator calls a scope).
bool IsScope(handle object);

// True when the walk leaves this scope (and what is below it) out.
bool SkipScope(handle scope);

// Creates the scope in the writer. False when it has no name.
bool CreateScope(handle scope);

// Dumps one scope's variables and, within `level`, its sub-scopes; with
// `create` also the scopes themselves.
void TraverseVarsOnScope(handle scope, int depth, int level, bool create);

// The variables of a scope's objects (nets, regs, variables, events,
// parameters), with their port directions; with a signal pattern only those
// whose leaf name matches it.
void DumpScopeObjects(handle scope, const char *signal_pattern);

// The variables of one simulator object with its port direction (0..3).
void TraverseVarsOnUnexpandVars(handle object, int direction);

// Creates every scope from the top of the design down to `scope`, as the
// hierarchy substitution decides; returns the depth reached, whose scopes
// EndScopesFromRoot ends.
int CreateScopeFromRoot(handle scope);

// Applies the value dump of `mode` to every hooked variable of the current
// file, or only to those hooked from entry `first_hook` of the hook list on.
void TraverseAllVars(int mode, size_t first_hook = 0);

// The port list of one scope: the direction of the port with a given name,
// removed once taken.
void BuildPortList(handle scope);
int TakePortDirection(const char *name);
void ClearPortList();

// The second tree over the whole design that lists nets under every name
// they are visible by (TRAX_SAME_NET).
void SameNetPass();

// The name without a trailing bracketed select ("bus[3]" gives "bus").
std::string WithoutSelect(const std::string &name);

// The text of the direction filter for the info lines.
const char *FilterText();

}  // namespace tavri::pli

#endif
