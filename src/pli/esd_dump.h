// $traxESDump("template", "new file"[, level][, scope]*): records the
// essential signals of the simulation into a new database file that copies
// an essential-signal template's tree, idcodes and expression information.
// It runs in the essential-signal mode, which excludes every other dump.
#ifndef TAVRI_PLI_ESD_DUMP_H
#define TAVRI_PLI_ESD_DUMP_H

namespace tavri::pli {

int plicompileESDump(int data, int reason);
int plitaskESDump(int data, int reason);

}  // namespace tavri::pli

#endif
