// The six value-change callbacks. They run for every change of a hooked
// signal: no allocation, no name lookup, no hashing; the hook entry gives
// the writer record and the file directly.
#include "pli/notices.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

// vcl0, vcl1, vclZ, vclX as writer codes 0, 1, 3, 2.
constexpr uint8_t kWriterCode[4] = {0, 1, 3, 2};

VclEntry &EntryOf(p_vc_record record) { return *reinterpret_cast<VclEntry *>(record->user_data); }

// Makes the entry's file current and writes a time tag when the time of the
// change moved. False when nothing may be written.
bool Prologue(VclEntry &entry, p_vc_record record) {
    DumperState &state = g_dumper;
    if (!state.dumping_on || entry.file == nullptr) {
        return false;
    }
    DumpFileRecord &file = *entry.file;
    state.current_writer = file.writer;
    state.current_time_low = file.last_time_low;
    state.current_time_high = file.last_time_high;
    const auto low = static_cast<uint32_t>(record->vc_lowtime);
    const auto high = static_cast<uint32_t>(record->vc_hightime);
    if (low != state.current_time_low || high != state.current_time_high) {
        state.current_time_low = low;
        state.current_time_high = high;
        g_txw.CreateXCoor(file.writer, high, low);
        if (state.interactive) {
            ThrottledTimeNotice(high, low);
        }
    }
    return true;
}

// The writer's record of the variable and the unit its last change went to
// lie anywhere in memory: both are asked for at once, before the time tag.
void FetchWriterRecord(const VclEntry &entry) {
    __builtin_prefetch(entry.slot.var);
    __builtin_prefetch(entry.slot.last_unit);
}

void Epilogue(VclEntry &entry, p_vc_record record) {
    entry.file->last_time_low = static_cast<uint32_t>(record->vc_lowtime);
    entry.file->last_time_high = static_cast<uint32_t>(record->vc_hightime);
    g_dumper.needs_flush = true;
}

}  // namespace

p_vc_consumer g_vclCallbacks[kSlotCount] = {scalarTypeVclCB, strengthTypeVclCB, vectorTypeVclCB,
                                            realTypeVclCB,   eventTypeVclCB,    generalTypeVclCB};

extern "C" {

int scalarTypeVclCB(p_vc_record record) {
    if (record->vc_reason != logic_value_change && record->vc_reason != sregister_value_change) {
        return generalTypeVclCB(record);
    }
    VclEntry &entry = EntryOf(record);
    FetchWriterRecord(entry);
    if (!Prologue(entry, record)) {
        return 1;
    }
    const uint8_t value = kWriterCode[record->out_value.logic_value & 3];
    txw_CreateVarValueInSlot(entry.file->writer, &entry.slot, entry.idcode, &value);
    Epilogue(entry, record);
    return 1;
}

int strengthTypeVclCB(p_vc_record record) {
    if (record->vc_reason != strength_value_change) {
        return scalarTypeVclCB(record);
    }
    VclEntry &entry = EntryOf(record);
    FetchWriterRecord(entry);
    if (!Prologue(entry, record)) {
        return 1;
    }
    const s_strengths &strengths = record->out_value.strengths_s;
    const auto value = static_cast<uint8_t>(kWriterCode[strengths.logic_value & 3] + 4 * (strengths.strength1 & 7) +
                                            32 * (strengths.strength2 & 7));
    txw_CreateVarValueInSlot(entry.file->writer, &entry.slot, entry.idcode, &value);
    Epilogue(entry, record);
    return 1;
}

int vectorTypeVclCB(p_vc_record record) {
    VclEntry &entry = EntryOf(record);
    DumperState &state = g_dumper;
    if (!state.dumping_on || entry.file == nullptr) {
        return 1;
    }
    DumpFileRecord &file = *entry.file;
    // Already waiting for the end of this step.
    if (entry.pending) {
        state.needs_flush = true;
        return 1;
    }
    if (!state.glitch_off || state.sync_instance == nullptr) {
        if (Prologue(entry, record)) {
            WriteVectorValue(file, entry);
            Epilogue(entry, record);
        }
        return 1;
    }
    // Further changes of this variable in this time step are ignored; its
    // final value is written when the step ends.
    entry.pending = true;
    file.pending.push_back(&entry);
    if (state.rosync_idle) {
        sim::g_sim.tf_irosynchronize(state.sync_instance);
        state.rosync_idle = false;
    }
    return 1;
}

int realTypeVclCB(p_vc_record record) {
    VclEntry &entry = EntryOf(record);
    FetchWriterRecord(entry);
    if (!Prologue(entry, record)) {
        return 1;
    }
    const double value = record->out_value.real_value;
    txw_CreateVarValueInSlot(entry.file->writer, &entry.slot, entry.idcode, &value);
    Epilogue(entry, record);
    return 1;
}

int eventTypeVclCB(p_vc_record record) {
    VclEntry &entry = EntryOf(record);
    FetchWriterRecord(entry);
    if (!Prologue(entry, record)) {
        return 1;
    }
    const int32_t occurrence = 1;
    txw_CreateVarValueInSlot(entry.file->writer, &entry.slot, entry.idcode, &occurrence);
    Epilogue(entry, record);
    return 1;
}

int generalTypeVclCB(p_vc_record record) {
    switch (record->vc_reason) {
        case logic_value_change:
        case sregister_value_change:
            return scalarTypeVclCB(record);
        case strength_value_change:
            return strengthTypeVclCB(record);
        case real_value_change:
            return realTypeVclCB(record);
        case vector_value_change:
        case integer_value_change:
        case time_value_change:
        case vregister_value_change:
            return vectorTypeVclCB(record);
        case event_value_change:
            return eventTypeVclCB(record);
        default:
            return 1;
    }
}

}  // extern "C"

}  // namespace tavri::pli
