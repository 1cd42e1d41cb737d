// The essential-signal dump's copy of a template: the template's tree goes
// into a new database file with the template's idcodes, the variables of
// the selected scopes are hooked to the simulation, and the template's
// essential-signal table and expression data go with the file.
#ifndef TAVRI_PLI_ESD_REPLAY_H
#define TAVRI_PLI_ESD_REPLAY_H

#include <string>
#include <vector>

#include "sim/pli_acc.h"

namespace tavri::pli {

constexpr int kAllLevels = 99;

// A scope argument of $traxESDump: the scopes below it are hooked from the
// depth at which the replay meets it (-1 until then).
struct SelectedScope {
    handle scope = nullptr;
    int start_depth = -1;
};

// Replays the template `template_name` into a new file named by the current
// file name. Without selected scopes the variables of scopes down to depth
// `level` are hooked (kAllLevels: all); with some, those of scopes less than
// `level` levels below a selected one. False after an error message when
// the template is refused or its tree or information cannot be read.
bool ReplayTemplate(const std::string &template_name, const std::string &file_name, int level,
                    std::vector<SelectedScope> &selected);

}  // namespace tavri::pli

#endif
