// The tasks that name, control and end the dump: $traxDumpfile,
// $traxDumpon, $traxDumpoff, $traxDumpflush, $traxDumplimit,
// $traxDumpStrength and $traxDumpFinish.
#ifndef TAVRI_PLI_DUMP_CONTROL_H
#define TAVRI_PLI_DUMP_CONTROL_H

#include <optional>
#include <string>

namespace tavri::pli {

// The file name of argument `n`: a string literal's text, or the value read
// as a string; an empty text counts as none.
std::optional<std::string> FileNameArgument(int n);

int plicompileDumpfile(int data, int reason);
int plitaskDumpfile(int data, int reason);
int plitaskDumpon(int data, int reason);
int plimiscDumpon(int data, int reason);
int plitaskDumpoff(int data, int reason);
int plitaskDumpflush(int data, int reason);
int plicompileDumplimit(int data, int reason);
int plitaskDumplimit(int data, int reason);
int plicompileDumpStrength(int data, int reason);
int plitaskDumpStrength(int data, int reason);
int plitaskDumpFinish(int data, int reason);

// Dumping switched on as at the end of a time step after $traxDumpon.
void SwitchDumpingOn();

}  // namespace tavri::pli

#endif
