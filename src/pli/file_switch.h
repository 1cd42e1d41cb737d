// File switching: $traxSwitchDumpfile goes on in a named file at once;
// $traxAutoSwitchDumpfile opens a numbered series of size-limited files,
// moves to the next whenever the writer says the current one is nearly
// full, and logs the time range of each file.
#ifndef TAVRI_PLI_FILE_SWITCH_H
#define TAVRI_PLI_FILE_SWITCH_H

#include <cstdint>
#include <optional>
#include <string>

#include "tavri/txw.h"

namespace tavri::pli {

int plicompileSwitchFile(int data, int reason);
int plitaskSwitchFile(int data, int reason);
int plicompileAutoSwitchFile(int data, int reason);
int plitaskAutoSwitchFile(int data, int reason);

// Goes on in the file `name`: 1, or 0 (then no file is current).
int SwitchToNamedFile(const std::string &name);

// Opens a series of files of `limit_mb` MB named after `name` and cycling
// through `amount` files (0 = no end), logging to `log_name` or to the
// base name followed by ".log". 1, or 0 after a warning.
int StartSwitchSeries(int limit_mb, const std::string &name, int amount, const std::optional<std::string> &log_name);

// What the writer calls when the current file of the series is nearly full.
void AutoSwitchRoutine(const txwAutoSwitchInfo *info, void *data);

// Writes the current file's line and closes the log, if one is open.
void CloseSwitchLog();

// The name of file `index` of a series: base_007.trax, base_1234.trax.
std::string SeriesFileName(const std::string &base, int index);

// A time with "," between groups of three digits: 1,234,567.
std::string GroupedTime(uint64_t time);

}  // namespace tavri::pli

#endif
