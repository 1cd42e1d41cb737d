#ifndef TAVRI_PLI_MISC_DISPATCH_H
#define TAVRI_PLI_MISC_DISPATCH_H

namespace tavri::pli {

// The misctf shared by the dumping tasks: acts on save, restart, finish,
// reactivation, read-only synchronisation, interactive stop, reset and the
// starts of save and restart. Other reasons are ignored. Returns 1.
int plimiscTRAX(int data, int reason);

// Forgets what the run asked for: the file name, the recorded pattern
// requests, the dump modes and the suppress tables.
void ForgetTheRun();

}  // namespace tavri::pli

#endif
