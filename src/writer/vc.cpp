#include "writer/vc.h"

#include <cstring>

#include "writer/flush_session.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/region.h"
#include "writer/tree.h"
#include "writer/two_g_guard.h"
#include "writer/var_map.h"
#include "writer/vc_mem_pool.h"

using namespace tavri::writer;

namespace {

constexpr const char *kSource = "vc";
constexpr const char *kVarValueUnknown = "Failed to locate var when creating var val.\n";
constexpr const char *kABBusValueUnknown = "Failed to locate var when creating ab bus val.\n";

uint32_t XtagCount(const txwObject *obj) { return obj->header.U32(kHdrMaxXtagIdx); }

// Writes the current time stamp (and sequence number) of a new entry.
void Stamp(const txwObject *obj, uint8_t *at) {
    const uint8_t kind = obj->header.U8(kHdrXtagType);
    if (obj->xtag_size == 4) {
        if (kind == kXtagFloat) {
            std::memcpy(at, &obj->current_float, 4);
        } else {
            std::memcpy(at, &obj->current_xtag.low, 4);
        }
    } else if (kind == kXtagDouble) {
        std::memcpy(at, &obj->current_double, 8);
    } else {
        const uint64_t wide = (static_cast<uint64_t>(obj->current_xtag.high) << 32) | obj->current_xtag.low;
        std::memcpy(at, &wide, 8);
    }
    if (obj->seq_num_size == 4) {
        std::memcpy(at + obj->xtag_size, &obj->changes_since_xtag, 4);
    }
}

void Append(IncoreVar &var, VcUnit *unit) {
    if (var.chain_tail != nullptr) {
        var.chain_tail->next = unit;
    } else {
        var.chain_head = unit;
    }
    var.chain_tail = unit;
}

VcUnit *NewUnit(txwObject *obj, uint32_t bytes) {
    if (obj->vc_memory == nullptr) {
        SetOrRaiseDefaultMemLimit(obj, obj->header.U32(kHdrMaxVarIdcode));
    }
    auto *unit = static_cast<VcUnit *>(VcAllocate(obj, obj->vc_memory, bytes));
    unit->next = nullptr;
    unit->flags = 0;
    unit->sizes = static_cast<uint8_t>(obj->xtag_size | (obj->seq_num_size << 4));
    unit->spare[0] = unit->spare[1] = 0;
    return unit;
}

struct GlitchOutcome {
    bool merge = false;
    int hint = 0;
};

// Counts the changes of a variable at the current xtag and decides whether
// this one replaces the last recorded value (more than G at one time).
GlitchOutcome ApplyGlitchRule(const txwObject *obj, IncoreVar &var, uint32_t limit) {
    GlitchOutcome outcome;
    if (limit == 0 || (var.flags & kVarNoGlitchLimit) != 0) {
        return outcome;
    }
    const uint32_t xtags = XtagCount(obj);
    uint32_t count = 1;
    if (xtags > 0 && xtags == var.xtag_index) {
        count = (var.flags & kVarStepCountMask) >> kVarStepCountShift;
        if (count < 255) {
            ++count;
        }
        if (count + 1 == limit) {
            outcome.hint = 1;
        }
        outcome.merge = count > limit && var.chain_tail != nullptr;
    }
    var.flags = (var.flags & ~kVarStepCountMask) | (count << kVarStepCountShift);
    return outcome;
}

void AfterRecord(txwObject *obj, IncoreVar &var, VcUnit *unit) {
    if (var.xtag_index == 0) {
        unit->flags |= kUnitFirstChange;
    }
    var.xtag_index = XtagCount(obj);
    obj->changes_pending = true;
    if (obj->flush_after_change) {
        SessionFlush(obj);
    }
}

// The next free entry of the variable's tail block, opening a new block
// when there is none or it is full.
inline uint8_t NextBlockEntry(txwObject *obj, IncoreVar &var, uint32_t length, VcUnit *&tail) {
    if (tail == nullptr || BlockCount(tail) == kBlockEntries) {
        tail = NewUnit(obj, BlockSize(obj->xtag_size, obj->seq_num_size, length));
        BlockCount(tail) = 0;
        Append(var, tail);
    }
    return BlockCount(tail)++;
}

// Records a change of a variable whose values of `length` bytes are kept in
// blocks; `last_written` is the value last written to the file. kLength is
// the length when the caller knows it (the common lengths compile to plain
// loads and stores), else 0.
template <uint32_t kLength>
int RecordInBlock(txwObject *obj, IncoreVar &var, const uint8_t *value, uint32_t runtime_length,
                  const uint8_t *last_written, uint32_t glitch_limit) {
    const uint32_t length = kLength != 0 ? kLength : runtime_length;
    VcUnit *tail = var.chain_tail;
    if ((var.flags & kVarDropRepeats) != 0) {
        if (tail != nullptr) {
            if (std::memcmp(BlockValue(tail, BlockCount(tail) - 1u, length), value, length) == 0) {
                return 0;
            }
        } else if (var.flushed_before != 0 && var.xtag_index != 0 &&
                   std::memcmp(last_written, value, length) == 0) {
            return 0;
        }
    }
    const GlitchOutcome glitch = ApplyGlitchRule(obj, var, glitch_limit);
    if (glitch.merge) {
        std::memcpy(BlockValue(tail, BlockCount(tail) - 1u, length), value, length);
        tail->flags |= kUnitGlitchReplaced;
        var.flags |= kVarMerged;
        return glitch.hint;
    }
    const uint8_t entry = NextBlockEntry(obj, var, length, tail);
    std::memcpy(BlockValue(tail, entry, length), value, length);
    Stamp(obj, BlockStamp(tail, entry, length));
    AfterRecord(obj, var, tail);
    return glitch.hint;
}

int RecordOneByte(txwObject *obj, IncoreVar &var, uint8_t value, uint32_t glitch_limit) {
    const auto last_written = static_cast<uint8_t>((var.flags & kVarLastValueMask) >> kVarLastValueShift);
    return RecordInBlock<1>(obj, var, &value, 1, &last_written, glitch_limit);
}

int RecordMultiByte(txwObject *obj, IncoreVar &var, const uint8_t *value, uint32_t glitch_limit) {
    const uint32_t length = ValueLength(var);
    TXW_ASSERT(length > 1, kSource);
    if (var.last_value == nullptr) {
        var.last_value = static_cast<uint8_t *>(
            RegionCalloc(obj->bcn_last_val_vm, 1, ((length + 3) & ~3u) + 4, kSource, __LINE__));
    }
    if (length == 8) {  // A/B bus values up to 32 bits, normal bus ones of 8 bits
        return RecordInBlock<8>(obj, var, value, length, var.last_value, glitch_limit);
    }
    if (InBlocks(length)) {
        return RecordInBlock<0>(obj, var, value, length, var.last_value, glitch_limit);
    }
    VcUnit *tail = var.chain_tail;
    if ((var.flags & kVarDropRepeats) != 0) {
        if (tail != nullptr) {
            const uint32_t sizes = tail->sizes;
            const uint8_t *stored = UnitBytes(tail) + kUnitHeaderSize + (sizes & 0xF) + (sizes >> 4);
            if (std::memcmp(stored, value, length) == 0) {
                return 0;
            }
        } else if (var.flushed_before != 0 && var.xtag_index != 0 &&
                   std::memcmp(var.last_value, value, length) == 0) {
            return 0;
        }
    }
    const GlitchOutcome glitch = ApplyGlitchRule(obj, var, glitch_limit);
    if (glitch.merge) {
        const uint32_t sizes = tail->sizes;
        std::memcpy(UnitBytes(tail) + kUnitHeaderSize + (sizes & 0xF) + (sizes >> 4), value, length);
        tail->flags |= kUnitGlitchReplaced;
        var.flags |= kVarMerged;
        return glitch.hint;
    }
    VcUnit *unit = NewUnit(obj, UnitSize(obj->xtag_size, obj->seq_num_size, length));
    Stamp(obj, UnitBytes(unit) + kUnitHeaderSize);
    std::memcpy(UnitBytes(unit) + kUnitHeaderSize + obj->xtag_size + obj->seq_num_size, value, length);
    Append(var, unit);
    AfterRecord(obj, var, unit);
    return glitch.hint;
}

void ReportUnknown(txwObject *obj, const char *first_line, int32_t idcode) {
    Warn("%s", first_line);
    Warn("var idcode=%d, trax max var idcode=%d\n", idcode,
         static_cast<int>(obj->header.U32(kHdrMaxVarIdcode)));
    Warn("var value creation failed, current value change was discarded.\n");
}

// Finds the in-core record of a change that may be recorded: enabled idcode,
// dumping on, known variable.
IncoreVar *Target(txwObject *obj, int32_t idcode, const char *unknown_message) {
    if (idcode < 0) {
        return nullptr;
    }
    if (obj->dumping_off) {
        Warn("Dump off is enabled, vc creation is discarded.\n");
        return nullptr;
    }
    if (obj->stopped) {
        return nullptr;  // the stop limit was reached: nothing more is written
    }
    IncoreVar *var = FindIncoreVar(obj, static_cast<uint32_t>(idcode));
    if (var == nullptr) {
        ReportUnknown(obj, unknown_message, idcode);
        return nullptr;
    }
    if (obj->check_mode && (var->flags & (kVarMiddleKind | kVarComputedKind)) != 0) {
        Warn("middle or computed type var found, it should not have value changes.\n");
        Warn("return!\n");
        return nullptr;
    }
    TXW_ASSERT(obj->xtag_size == 4 || obj->xtag_size == 8, kSource);
    return var;
}

// Target() for a caller's slot: the record kept there while the slot was
// filled for this writer, else the one Target() finds (kept for next time).
IncoreVar *SlotTarget(txwObject *obj, txwValueSlot *slot, int32_t idcode, const char *unknown_message) {
    if (slot->writer_serial == obj->serial && idcode >= 0 && !obj->dumping_off && !obj->stopped) {
        return static_cast<IncoreVar *>(slot->var);
    }
    IncoreVar *var = Target(obj, idcode, unknown_message);
    if (var != nullptr) {
        slot->writer_serial = obj->serial;
        slot->var = var;
    }
    return var;
}

// Records a change of a known variable in A/B bus form: pairs of 32-bit
// words, least significant pair first.
int RecordABBus(txwObject *obj, IncoreVar *var, int32_t idcode, uint32_t *words) {
    TXW_ASSERT(idcode != 0, kSource);
    if (var->value_size == 1) {
        Warn("txw_CreateABBusValueByIdcode() is for vector instead ofscalar variables.\n"
             " Value change creation discarded.\n");
        return 0;
    }
    if (var->value_format != kFormatNone && var->value_format != kFormatABBus) {
        Warn("vc of var(%d) was already created in a format(%d) other than A/B bus format.\n", idcode,
             var->value_format);
        Warn("Var value creation failed, current value change was discarded.\n");
        return 0;
    }
    var->value_format = kFormatABBus;
    const uint32_t width = var->value_size;
    const uint32_t last_pair = (width - 1) / 32;
    const uint32_t remainder = width % 32;
    const uint32_t mask = remainder == 0 ? 0xFFFFFFFFu : (1u << remainder) - 1;
    words[2 * last_pair] &= mask;
    words[2 * last_pair + 1] &= mask;
    ++obj->changes_since_xtag;
    obj->header.AddU32(kHdrBcnVcCreationCnt, 1);
    return RecordMultiByte(obj, *var, reinterpret_cast<const uint8_t *>(words),
                           obj->header.U16(kHdrMaxGlitchNumber));
}

// Records a change of a known variable in the normal bus format (one byte
// for one-byte variables).
int RecordValue(txwObject *obj, IncoreVar *var, int32_t idcode, const void *value) {
    ++obj->changes_since_xtag;
    if (var->value_size != 1) {
        if (var->value_format != kFormatNone && var->value_format != kFormatNormalBus) {
            Warn("vc of var(%d) was already created in a format(%d) other than normal bus format.\n", idcode,
                 var->value_format);
            Warn("Var value creation failed, current value change was discarded.\n");
            return 0;
        }
        var->value_format = kFormatNormalBus;
        obj->header.AddU32(kHdrBcnVcCreationCnt, 1);
        return RecordMultiByte(obj, *var, static_cast<const uint8_t *>(value),
                               obj->header.U16(kHdrMaxGlitchNumber));
    }
    obj->header.AddU32(kHdrBc1VcCreationCnt, 1);
    const uint32_t glitch_limit = idcode == 0 ? 0 : obj->header.U16(kHdrMaxGlitchNumber);
    return RecordOneByte(obj, *var, *static_cast<const uint8_t *>(value), glitch_limit);
}

}  // namespace

namespace tavri::writer {

uint32_t ValueLength(const IncoreVar &var) {
    switch (var.value_format) {
        case kFormatABBus:
        case kFormatCDBus:
            return ((var.value_size - 1) >> 5 << 3) + 8;
        case kFormatABMemory:
            return ((var.value_size + 7) >> 3) * 2;
        case kFormatProperty:
            return 16;
        case kFormatCoverage:
            return 12;
        default:
            return var.value_size;
    }
}

int CreateValueByIdcode(txwObject *obj, int32_t idcode, const void *value) {
    IncoreVar *var = Target(obj, idcode, kVarValueUnknown);
    if (var == nullptr) {
        return 0;
    }
    return RecordValue(obj, var, idcode, value);
}

void RecordRedundantValue(txwObject *obj, IncoreVar &var) {
    // A restated value is not one of the time step's own changes: it carries
    // sequence number 0 and leaves the variable's step counters alone.
    const uint32_t changes = obj->changes_since_xtag;
    obj->changes_since_xtag = 0;
    const bool one_byte = var.value_size == 1;
    obj->header.AddU32(one_byte ? kHdrBc1VcCreationCnt : kHdrBcnVcCreationCnt, 1);
    const uint32_t length = one_byte ? 1 : ValueLength(var);
    const auto last_scalar = static_cast<uint8_t>((var.flags & kVarLastValueMask) >> kVarLastValueShift);
    const uint8_t *last_written = one_byte ? &last_scalar : var.last_value;
    if (InBlocks(length)) {
        VcUnit *tail = var.chain_tail;
        const uint8_t entry = NextBlockEntry(obj, var, length, tail);
        std::memcpy(BlockValue(tail, entry, length), last_written, length);
        Stamp(obj, BlockStamp(tail, entry, length));
    } else {
        VcUnit *unit = NewUnit(obj, UnitSize(obj->xtag_size, obj->seq_num_size, length));
        Stamp(obj, UnitBytes(unit) + kUnitHeaderSize);
        std::memcpy(UnitBytes(unit) + kUnitHeaderSize + obj->xtag_size + obj->seq_num_size, last_written, length);
        Append(var, unit);
    }
    obj->changes_since_xtag = changes;
    obj->changes_pending = true;
    if (obj->flush_after_change) {
        SessionFlush(obj);
    }
}

int RecordStringId(txwObject *obj, IncoreVar &var, uint32_t id) {
    obj->header.AddU32(kHdrBcnVcCreationCnt, 1);
    return RecordMultiByte(obj, var, reinterpret_cast<const uint8_t *>(&id),
                           obj->header.U16(kHdrMaxGlitchNumber));
}

IncoreVar *StringTarget(txwObject *obj, int32_t idcode) {
    return Target(obj, idcode, "Failed to locate var when creating str val.\n");
}

}  // namespace tavri::writer

extern "C" {

int txw_CreateVarValueByIdcode(txwObject *obj, int32_t idcode, const void *value, uint32_t /*width*/) {
    obj = WriterForChange(obj);  // the 2 GB guard may move the run to another writer
    if (obj == nullptr) {
        return 0;
    }
    return CreateValueByIdcode(obj, idcode, value);
}

int txw_CreateABBusValueByIdcode(txwObject *obj, int32_t idcode, uint32_t *words, uint32_t /*width*/) {
    obj = WriterForChange(obj);  // the 2 GB guard may move the run to another writer
    if (obj == nullptr) {
        return 0;
    }
    IncoreVar *var = Target(obj, idcode, kABBusValueUnknown);
    return var != nullptr ? RecordABBus(obj, var, idcode, words) : 0;
}

int txw_CreateVarValueInSlot(txwObject *obj, txwValueSlot *slot, int32_t idcode, const void *value) {
    obj = WriterForChange(obj);
    if (obj == nullptr) {
        return 0;
    }
    IncoreVar *var = SlotTarget(obj, slot, idcode, kVarValueUnknown);
    if (var == nullptr) {
        return 0;
    }
    const int result = RecordValue(obj, var, idcode, value);
    slot->last_unit = var->chain_tail;
    return result;
}

int txw_CreateABBusValueInSlot(txwObject *obj, txwValueSlot *slot, int32_t idcode, uint32_t *words) {
    obj = WriterForChange(obj);
    if (obj == nullptr) {
        return 0;
    }
    IncoreVar *var = SlotTarget(obj, slot, idcode, kABBusValueUnknown);
    if (var == nullptr) {
        return 0;
    }
    const int result = RecordABBus(obj, var, idcode, words);
    slot->last_unit = var->chain_tail;
    return result;
}

int txw_CreateVarValueByVarHdl(txwObject *obj, txwHandle handle, const void *value) {
    obj = WriterForChange(obj);  // the 2 GB guard may move the run to another writer
    if (obj == nullptr) {
        return 0;
    }
    txwVarMapRec *record = nullptr;
    if (LookupVarMap(obj, handle, &record) != 0 || record->idcode < 0) {
        return 0;
    }
    return CreateValueByIdcode(obj, record->idcode, value);
}

int txw_CreateVarValueByVarRec(txwObject *obj, txwVarMapRec *record, const void *value) {
    if (record == nullptr || record->idcode < 0) {
        return 0;
    }
    obj = WriterForChange(obj);  // the 2 GB guard may move the run to another writer
    if (obj == nullptr) {
        return 0;
    }
    return CreateValueByIdcode(obj, record->idcode, value);
}

}  // extern "C"
