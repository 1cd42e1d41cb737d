// Value-change hooks: every dumped variable gets a value-change link whose
// callback turns the simulator's value into the writer's encoding and hands
// it over at the right time. Vectors are by default sampled once at the end
// of the time step, so a vector that changes several times in one step is
// recorded once, with its final value.
#ifndef TAVRI_PLI_VCL_H
#define TAVRI_PLI_VCL_H

#include "pli/dumper_state.h"
#include "sim/pli_acc.h"

namespace tavri::pli {

enum CallbackSlot { kScalarSlot, kStrengthSlot, kVectorSlot, kRealSlot, kEventSlot, kGeneralSlot, kSlotCount };

// The callbacks in slot order; debug tracing may replace them with tracing
// wrappers while nothing is hooked.
extern p_vc_consumer g_vclCallbacks[kSlotCount];

extern "C" {
int scalarTypeVclCB(p_vc_record record);
int strengthTypeVclCB(p_vc_record record);
int vectorTypeVclCB(p_vc_record record);
int realTypeVclCB(p_vc_record record);
int eventTypeVclCB(p_vc_record record);
int generalTypeVclCB(p_vc_record record);
}

// Adds a hook entry for a new variable of `file` and links its callback.
void AddHook(txwVarMapRec *record, DumpFileRecord *file);
void Unhook(VclEntry &entry);
// Unlinks every entry that still has a file and drops all entries.
void ReleaseAllHooks();
// Unlinks every callback (start of a save) and links them again (save).
void UnlinkAllForSave();
void RelinkAllAfterSave();
// A temporary file is finished: its variables stop being recorded.
void UnhookFile(DumpFileRecord *file);
// A file was closed: its entries no longer write anywhere.
void ForgetFileOfHooks(DumpFileRecord *file);

// Writes the values of the vectors deferred to the end of the time step.
void SamplePendingVectors();

// Reads a vector's present value and hands it to the writer: by the
// record's idcode, or through the hook entry's slot.
void WriteVectorValue(DumpFileRecord &file, txwVarMapRec *record);
void WriteVectorValue(DumpFileRecord &file, VclEntry &entry);

// Value dumps of a whole file: 2 initial, 3 current (dump on), 4 off (X).
enum DumpValueMode { kModeInitial = 2, kModeCurrent = 3, kModeOff = 4 };
void DumpValue(DumpFileRecord &file, txwVarMapRec *record, int mode);

// Makes a record the file that time tags and values go to, without
// reordering the file list.
void SetCurrent(DumpFileRecord &file);

}  // namespace tavri::pli

#endif
