#include "pli/vcl_trace.h"

#include "pli/messages.h"
#include "pli/trace.h"
#include "pli/vcl.h"

namespace tavri::pli {
namespace {

constexpr const char *kNames[kSlotCount] = {"scalarTypeVclCB", "strengthTypeVclCB", "vectorTypeVclCB",
                                            "realTypeVclCB",   "eventTypeVclCB",    "generalTypeVclCB"};
constexpr p_vc_consumer kPlain[kSlotCount] = {scalarTypeVclCB, strengthTypeVclCB, vectorTypeVclCB,
                                              realTypeVclCB,   eventTypeVclCB,    generalTypeVclCB};

template <int slot>
int Traced(p_vc_record record) {
    TAVRI_TRACE("%s() vc_record->vc_reason=%d\n", kNames[slot], record->vc_reason);
    return kPlain[slot](record);
}

constexpr p_vc_consumer kTraced[kSlotCount] = {Traced<kScalarSlot>, Traced<kStrengthSlot>, Traced<kVectorSlot>,
                                               Traced<kRealSlot>,   Traced<kEventSlot>,    Traced<kGeneralSlot>};

}  // namespace

void InstallTracingCallbacks() {
    if (!g_dumper.hooks.empty()) {
        PrintWarning("$traxDebug() cannot hook all value change function.\n");
        return;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        g_vclCallbacks[slot] = kTraced[slot];
    }
}

void RemoveTracingCallbacks() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        g_vclCallbacks[slot] = kPlain[slot];
    }
}

}  // namespace tavri::pli
