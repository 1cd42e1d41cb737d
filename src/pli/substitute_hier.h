// Hierarchy substitution: the top levels of the design are written to the
// database under a hierarchical name the user gives ($traxSubstituteHier),
// so that a block simulated in a small testbench is recorded under the path
// it has in the full design. Every traversal that creates writer scopes
// asks here what to do at each depth (1 at a top module) and brackets each
// writer tree with the open and close prefix.
//
// With L the replace level and D the number of components of the name:
//   L = 0      the whole design below the D components;
//   0 < L < D  the top L levels under the last L components, below the
//              first D - L;
//   L = D      the top L levels take the components one for one;
//   L > D      levels 1 .. L - D are dropped (no scopes, no variables),
//              levels L - D + 1 .. L take the D components.
#ifndef TAVRI_PLI_SUBSTITUTE_HIER_H
#define TAVRI_PLI_SUBSTITUTE_HIER_H

#include <string>
#include <string_view>
#include <vector>

#include "sim/pli_acc.h"

namespace tavri::pli {

// The scope at `depth` is written as a substitute component, not under its
// own name.
bool IsReplacedDepth(int depth);
// The depth at which a scope of design depth `depth` lands in the database;
// a scope and its variables are written only when it is positive.
int MappedDepth(int depth);

// What became of a scope at a depth.
enum class ScopeWrite {
    kNoName,   // the simulator gave it no name; nothing was created
    kWritten,  // a writer scope is open (its own or its substitute): one EndScope is owed
    kDropped,  // its level is dropped by the substitution; nothing was created
};
// Creates `scope` in the current writer at design depth `depth` as the
// substitution decides.
ScopeWrite CreateMappedScope(handle scope, int depth);
// Ends the writer scopes of a path from a top module `depth` levels deep
// (CreateScopeFromRoot's result): those whose level was not dropped.
void EndScopesFromRoot(int depth);

// Right after txw_BeginTree and right before txw_EndTree of every tree.
void OpenSubstitutionPrefix();
void CloseSubstitutionPrefix();

// The components of a substitute name: dot-separated, an escaped identifier
// (a backslash up to a blank) may hold dots and is stored without its
// backslash and blank; one leading and one trailing dot are ignored. False
// for an invalid name (two dots in a row, a blank or backslash inside a
// plain component, text after an escaped identifier's blank).
bool SplitSubstituteName(std::string_view name, std::vector<std::string> *components);

// Sets the substitution (the task and the Tcl command). False, with a
// warning, when variables exist already or the name is invalid; the state
// may then be half set and the caller resets it.
bool SetSubstitution(const std::string &name, int level);
// No substitution (L = -1, D = 0).
void ResetSubstitution();

// $traxSubstituteHier("name", level): the name a string or a reg holding
// it, the level a constant, an integer variable or a reg. Only the first
// call that succeeds takes effect.
int plicompileSubstituteHier(int data, int reason);
int plitaskSubstituteHier(int data, int reason);

}  // namespace tavri::pli

#endif
