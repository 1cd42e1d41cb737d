// One writer tree of the current file, as every traversal writes it:
// counted in the open-tree counter while it is open, and opened and closed
// under the hierarchy substitution's prefix.
#ifndef TAVRI_PLI_DUMP_TREE_H
#define TAVRI_PLI_DUMP_TREE_H

namespace tavri::pli {

// Begins the tree. False when the writer refuses it, after printing
// `failure` as an error when one is given.
bool BeginDumpTree(const char *failure);
void EndDumpTree();

}  // namespace tavri::pli

#endif
