// The scope tree of one $traxDumpvars with scope or signal arguments: the
// arguments merged into one tree, so that a scope named twice, or named
// together with a scope above it, is written once.
#ifndef TAVRI_PLI_SCOPE_TREE_H
#define TAVRI_PLI_SCOPE_TREE_H

#include "sim/pli_acc.h"

namespace tavri::pli {

// Adds a scope (with the level below it) or a signal; no handle adds every
// top module.
void ScopeTreeAdd(handle object, int level);

// Writes the tree as one writer tree. Nothing without a writer or nodes.
void ScopeTreeWrite();

void ScopeTreeClear();

}  // namespace tavri::pli

#endif
