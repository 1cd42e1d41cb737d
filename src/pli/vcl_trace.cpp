#include "pli/vcl_trace.h"

#include "pli/messages.h"
#include "pli/trace.h"
#include "pli/vcl.h"

namespace tavri::pli {
namespace {

int TracedScalar(p_vc_record record) {
    TAVRI_TRACE("scalarTypeVclCB() vc_record->vc_reason=%d\n", record->vc_reason);
    return scalarTypeVclCB(record);
}

int TracedStrength(p_vc_record record) {
    TAVRI_TRACE("strengthTypeVclCB() vc_record->vc_reason=%d\n", record->vc_reason);
    return strengthTypeVclCB(record);
}

int TracedVector(p_vc_record record) {
    TAVRI_TRACE("vectorTypeVclCB() vc_record->vc_reason=%d\n", record->vc_reason);
    return vectorTypeVclCB(record);
}

int TracedReal(p_vc_record record) {
    TAVRI_TRACE("realTypeVclCB() vc_record->vc_reason=%d\n", record->vc_reason);
    return realTypeVclCB(record);
}

int TracedEvent(p_vc_record record) {
    TAVRI_TRACE("eventTypeVclCB() vc_record->vc_reason=%d\n", record->vc_reason);
    return eventTypeVclCB(record);
}

int TracedGeneral(p_vc_record record) {
    TAVRI_TRACE("generalTypeVclCB() vc_record->vc_reason=%d\n", record->vc_reason);
    return generalTypeVclCB(record);
}

constexpr p_vc_consumer kTraced[kSlotCount] = {TracedScalar, TracedStrength, TracedVector,
                                               TracedReal,   TracedEvent,    TracedGeneral};
constexpr p_vc_consumer kPlain[kSlotCount] = {scalarTypeVclCB, strengthTypeVclCB, vectorTypeVclCB,
                                              realTypeVclCB,   eventTypeVclCB,    generalTypeVclCB};

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
