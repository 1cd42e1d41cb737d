// The cut tree of one $traxDumpPattern request: the eligible part of the
// design hierarchy, each scope marked with whether its own name matched the
// scope pattern and whether anything in its subtree did. The walk creates
// writer scopes only along paths that lead to a match.
#ifndef TAVRI_PLI_PATTERN_TREE_H
#define TAVRI_PLI_PATTERN_TREE_H

#include <memory>
#include <vector>

#include "sim/pli_acc.h"

namespace tavri::pli {

struct CutNode {
    handle scope = nullptr;
    bool no_match = true;  // neither the scope nor any scope below it matched
    bool matched = false;  // the scope's own name matched
    // Newest first: the reverse of the order acc_next_scope gave them.
    std::vector<std::unique_ptr<CutNode>> children;
};

struct CutTree {
    // Newest first: with no root scope, the reverse of acc_next_topmod's order.
    std::vector<std::unique_ptr<CutNode>> roots;
};

// Tells whether a scope matches `pattern`, and through `descend` whether the
// scope is eligible at all (and so gets a node and is looked into).
using CutMatch = bool (*)(handle scope, const char *pattern, bool *descend);
// True for an object that must be left out, with everything below it.
using CutExclusion = bool (*)(handle object);

// Builds the tree below `root` (itself included), or below every top module
// for no root. When nothing was eligible the tree holds one node for the
// root (or none) that matched nothing. False, after the warning, when memory
// ran out; the tree is then empty.
bool BuildCutTree(CutMatch match, CutExclusion exclude, handle root, const char *pattern, CutTree *tree);

// The match function of $traxDumpPattern: protected scopes, the never-dumped
// begin blocks, cell instances under SKIP_CELL_INSTANCE, functions under
// +trax_no_functions and scopes without a name are not eligible; the others
// match when there is no pattern or their leaf name matches it.
bool PatternMatchScope(handle scope, const char *pattern, bool *descend);

// With debug tracing on: every node whose subtree matched.
void TraceCutTree(const CutTree &tree);

}  // namespace tavri::pli

#endif
