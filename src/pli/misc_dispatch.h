#ifndef TAVRI_PLI_MISC_DISPATCH_H
#define TAVRI_PLI_MISC_DISPATCH_H

namespace tavri::pli {

// The misctf shared by the dumping tasks: acts on save, restart, finish,
// reactivation, read-only synchronisation, interactive stop, reset and the
// starts of save and restart. Other reasons are ignored. Returns 1.
int plimiscTRAX(int data, int reason);

}  // namespace tavri::pli

#endif
