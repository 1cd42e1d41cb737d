// The suppress list as the dumping walks see it: whether an object lies in
// a scope that $traxSuppress left out, and the adding of a scope with its
// whole subtree.
#ifndef TAVRI_PLI_SUPPRESS_H
#define TAVRI_PLI_SUPPRESS_H

#include "sim/pli_acc.h"

namespace tavri::pli {

// True when the object (a scope, or anything declared in one) is in a
// suppressed scope; says so with a warning naming the object. Always false
// while nothing was ever suppressed.
bool IsSuppressed(handle object);

// Suppresses a scope and every scope below it. When the scope was suppressed
// already, warns with `name` (the scope's full name when null) and does not
// walk its subtree again.
void SuppressWithSubtree(handle scope, const char *name = nullptr);

// A scope in the sense of $traxSuppress: module instances, tasks, functions
// and named blocks (the further begin-kind block 716 excepted).
bool IsSuppressScope(handle object);

}  // namespace tavri::pli

#endif
