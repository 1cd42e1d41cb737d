// TO JOIN with the suppress lists (branch i-suppress, src/pli/suppress.h):
// the three queries of the scope map that the pattern dump makes. Until the
// suppress lists are merged, nothing is suppressed and the dumped marks are
// the traversal's own set; once merged, each of these forwards to the
// suppress lists' query of the same meaning and this file goes away.
#ifndef TAVRI_PLI_SUPPRESS_SEAM_H
#define TAVRI_PLI_SUPPRESS_SEAM_H

#include "sim/pli_acc.h"

namespace tavri::pli::seam {

// The object (or the scope it lies in) is suppressed; says so in a warning.
bool IsSuppressed(handle object);
// The scope is neither suppressed nor already dumped into the current file.
bool IsUnmarked(handle scope);
// The scope's variables are now in the current file.
void MarkDumped(handle scope);

}  // namespace tavri::pli::seam

#endif
