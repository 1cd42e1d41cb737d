// $traxDebug("command"): runs one debug command line from the testbench.
#ifndef TAVRI_PLI_DEBUG_TASK_H
#define TAVRI_PLI_DEBUG_TASK_H

namespace tavri::pli {

int plicompileDebug(int data, int reason);
int plitaskDebug(int data, int reason);

}  // namespace tavri::pli

#endif
