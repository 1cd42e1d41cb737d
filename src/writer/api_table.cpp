// The writer API table: the dumper calls every writer operation through it,
// in this fixed order.
#include "tavri/txw.h"

namespace {

constexpr txwApiTable kApiTable = {
    txw_Noop,                       // 0
    txw_Flush,                      // 1
    txw_CloseFile,                  // 2
    txw_EndTree,                    // 3
    txw_SetScaleUnit,               // 4
    txw_SetGlitchNum,               // 5
    txw_SetDumpLimit,               // 6
    txw_DumpOff,                    // 7
    txw_EndScope,                   // 8
    txw_DumpOn,                     // 9
    txw_EnableSeqNum,               // 10
    txw_SetSimulationDate,          // 11
    txw_SetSyncControl,             // 12
    txw_EnableStrengthDumping,      // 13
    txw_SetSimulatorVersion,        // 14
    txwCreateTreeByHandleScheme,    // 15
    txw_CreateXCoor,                // 16
    txw_SetAutoSwitchCBData,        // 17
    txw_RegisterWriteErrorCB,       // 18
    txw_RegisterTwoGCB,             // 19
    txw_SetDesignType,              // 20
    txw_DisableVarRec,              // 21
    txw_ForEachVarMapRec,           // 22
    txw_EnableVarRec,               // 23
    txw_BeginAttrGroup,             // 24
    txw_EndAttrGroup,               // 25
    txw_IsVarRecEnabled,            // 26
    txw_BeginTree,                  // 27
    txw_CreateScope,                // 28
    txw_GetGlitchNum,               // 29
    txw_OpenFile,                   // 30
    txwOpenAutoSwitchFile,          // 31
    txw_SwitchFile,                 // 32
    txw_CreateVarByIdcode,          // 33
    txw_GetMaxVarIdcode,            // 34
    txwGetVarIdcodeByVarHdl,        // 35
    txw_CreateVarByVarIdcode,       // 36
    txw_CreateVarByHandle,          // 37
    txw_CreateVarByHandleAndPath,   // 38
    txw_GetVarMapRecByHdl,          // 39
    txw_CreateVarRecByHandle,       // 40
    txwCreateStrValByVarIdcode,     // 41
    txw_CreateStrValByVarHdl,       // 42
    txw_CreateVarValueByIdcode,     // 43
    txw_CreateABBusValueByIdcode,   // 44
    txw_CreateVarValueByVarHdl,     // 45
    txw_CreateVarValueByVarRec,     // 46
};

static_assert(sizeof(txwApiTable) == 47 * sizeof(void (*)()), "the table has 47 entries");

}  // namespace

extern "C" const txwApiTable *txw_GetApiTable(void) { return &kApiTable; }
