// $traxSuppress: scopes, suppress files (named by a string or held in a
// reg) and module definitions whose instances later dumps leave out.
#ifndef TAVRI_PLI_SUPPRESS_TASK_H
#define TAVRI_PLI_SUPPRESS_TASK_H

namespace tavri::pli {

int plicompileSuppress(int data, int reason);
int plitaskSuppress(int data, int reason);

}  // namespace tavri::pli

#endif
