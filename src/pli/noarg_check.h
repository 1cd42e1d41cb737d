#ifndef TAVRI_PLI_NOARG_CHECK_H
#define TAVRI_PLI_NOARG_CHECK_H

namespace tavri::pli {

// Checktf of the tasks that take no argument: accepts none, or exactly one
// empty argument (a call written as `$task()`).
int plicompileNoArg(int data, int reason);

}  // namespace tavri::pli

#endif
