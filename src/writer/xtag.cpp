#include "writer/xtag.h"

#include <cstring>

#include "writer/auto_switch.h"
#include "writer/debug_log.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/ring.h"

using namespace tavri::writer;

namespace {

constexpr const char *kSource = "vc";

void StoreMinimum(txwObject *obj) {
    obj->header.SetU32(kHdrMinXtag, obj->first_xtag.high);
    obj->header.SetU32(kHdrMinXtag + 4, obj->first_xtag.low);
}

void StoreMaximum(txwObject *obj) {
    obj->header.SetU32(kHdrMaxXtag, obj->current_xtag.high);
    obj->header.SetU32(kHdrMaxXtag + 4, obj->current_xtag.low);
}

void RecomputeRecordSize(txwObject *obj) {
    obj->vc_block_size = obj->vc_block_entries * (obj->xtag_size + obj->seq_num_size) + 16;
}

// The first xtag with a nonzero high half switches the file to 8-byte time
// stamps; what is pending is flushed first so that it keeps 4-byte stamps.
void EnterWideTime(txwObject *obj, uint32_t high) {
    if (high != 0 && !obj->xtag64) {
        obj->xtag64 = true;
        txw_Flush(obj);
        obj->xtag_size = 8;
        RecomputeRecordSize(obj);
    }
}

Xtag Clamp(txwObject *obj, Xtag xtag) {
    if (xtag > obj->ceiling) {
        DebugLog(obj, "xtag (%u %u) is adjusted to (%u %u)!\n", xtag.high, xtag.low,
                 obj->ceiling.high, obj->ceiling.low);
        return obj->ceiling;
    }
    return xtag;
}

int NextIntegerXtag(txwObject *obj, uint32_t high, uint32_t low) {
    const Xtag current = obj->current_xtag;
    if (high < current.high) {
        Warn("Fatal Error: time is rewound.\n");
        return TXW_ERROR;
    }
    if (high == current.high && low < current.low) {
        Warn("Time is rewound, this is inhibited.\n");
        return TXW_ERROR;
    }
    Xtag next{high, low};
    if (next == current) {
        return 0;
    }
    next = Clamp(obj, next);
    if (next == current) {
        return 0;  // both beyond the ceiling: still the same time step
    }
    if (obj->ring != nullptr) {
        RingBeforeNewXtag(obj, next);
    }
    EnterWideTime(obj, high);
    obj->current_xtag = next;
    StoreMaximum(obj);
    obj->header.AddU32(kHdrMaxXtagIdx, 1);
    if (obj->ring != nullptr) {
        RingAfterNewXtag(obj);
    }
    return 0;
}

int FirstIntegerXtag(txwObject *obj, uint32_t high, uint32_t low) {
    if (!obj->scale_unit_set) {
        Warn("txw_CreateXCoorByHnL():Scale unit has not been set.\n");
        AssertionFailed(kSource, __LINE__);
    }
    const uint8_t kind = obj->header.U8(kHdrXtagType);
    if (kind == kXtagNone) {
        obj->header.SetU8(kHdrXtagType, kXtagInteger);
    } else if (kind != kXtagInteger) {
        Warn("txw_CreateXCoorByHnL(): Non-uint64 xtags were already created .\n");
        return TXW_XTAG_KIND_MISMATCH;
    }
    obj->integer_xtag = NextIntegerXtag;
    EnterWideTime(obj, high);
    const Xtag first = Clamp(obj, Xtag{high, low});
    obj->first_xtag = first;
    obj->current_xtag = first;
    StoreMinimum(obj);
    StoreMaximum(obj);
    obj->header.AddU32(kHdrMaxXtagIdx, 1);
    return 0;
}

template <typename Real>
void StoreReal(txwObject *obj, uint32_t offset, Real value) {
    uint8_t bytes[8] = {};
    std::memcpy(bytes, &value, sizeof value);
    std::memcpy(obj->header.bytes + offset, bytes, 8);
}

template <typename Real>
int NextRealXtag(txwObject *obj, Real xtag, Real *current) {
    if (xtag < *current) {
        Warn("Time is rewound, this is inhibited.\n");
        return TXW_ERROR;
    }
    if (!(xtag > *current)) {
        return 0;  // equal or unordered: the same step
    }
    *current = xtag;
    StoreReal(obj, kHdrMaxXtag, xtag);
    obj->header.AddU32(kHdrMaxXtagIdx, 1);
    return 0;
}

int NextFloatXtag(txwObject *obj, float xtag) { return NextRealXtag(obj, xtag, &obj->current_float); }

int NextDoubleXtag(txwObject *obj, double xtag) {
    return NextRealXtag(obj, xtag, &obj->current_double);
}

template <typename Real>
int FirstRealXtag(txwObject *obj, Real xtag, Real *current, uint8_t wanted_kind,
                  const char *api_name, const char *kind_name) {
    if (!obj->scale_unit_set) {
        Warn("%s():Scale unit has not been set.\n", api_name);
        return TXW_SCALE_UNIT_NOT_SET;
    }
    const uint8_t kind = obj->header.U8(kHdrXtagType);
    if (kind != kXtagNone && kind != wanted_kind) {
        Warn("%s(): Non-%s xtags were already created .\n", api_name, kind_name);
        return TXW_XTAG_KIND_MISMATCH;
    }
    TXW_ASSERT(obj->header.U32(kHdrMaxXtagIdx) == 0, kSource);
    obj->header.SetU8(kHdrXtagType, wanted_kind);
    obj->xtag_size = sizeof(Real);
    RecomputeRecordSize(obj);
    *current = xtag;
    StoreReal(obj, kHdrMinXtag, xtag);
    StoreReal(obj, kHdrMaxXtag, xtag);
    obj->header.AddU32(kHdrMaxXtagIdx, 1);
    return 0;
}

int FirstFloatXtag(txwObject *obj, float xtag) {
    const int status = FirstRealXtag(obj, xtag, &obj->current_float, kXtagFloat,
                                     "txw_CreateFloatXCoor", "float");
    if (status == 0) {
        obj->float_xtag = NextFloatXtag;
    }
    return status;
}

int FirstDoubleXtag(txwObject *obj, double xtag) {
    const int status = FirstRealXtag(obj, xtag, &obj->current_double, kXtagDouble,
                                     "txw_CreateDoubleXCoor", "double");
    if (status == 0) {
        obj->double_xtag = NextDoubleXtag;
    }
    return status;
}

}  // namespace

namespace tavri::writer {

void SelectXtagConstructors(txwObject *obj) {
    obj->integer_xtag = FirstIntegerXtag;
    obj->float_xtag = FirstFloatXtag;
    obj->double_xtag = FirstDoubleXtag;
}

}  // namespace tavri::writer

extern "C" {

int txw_CreateXCoorByHnL(txwObject *obj, uint32_t high, uint32_t low) {
    return obj->integer_xtag(obj, high, low);
}

void txw_CreateXCoor(txwObject *obj, uint32_t high, uint32_t low) {
    if (obj->integer_xtag(obj, high, low) != 0) {
        return;
    }
    obj->changes_since_xtag = 0;
    CheckAutoSwitch(obj);  // last: the writer may be switched away
}

int txw_CreateFloatXCoor(txwObject *obj, float xtag) { return obj->float_xtag(obj, xtag); }

int txw_CreateDoubleXCoor(txwObject *obj, double xtag) {
    const int status = obj->double_xtag(obj, xtag);
    if (status != 0) {
        Warn("txw_CreateDoubleXCoor(): xtag creation failed.\n");
    }
    return status;
}

int txw_GetMaxXTag(txwObject *obj, uint32_t *high_low) {
    if (high_low == nullptr) {
        Warn("txw_GetMaxXTag: Argument max_xtag is NULL. Return!\n");
        return TXW_ERROR;
    }
    high_low[0] = obj->header.U32(kHdrMaxXtag);
    high_low[1] = obj->header.U32(kHdrMaxXtag + 4);
    return 0;
}

int txw_GetMinXTag(txwObject *obj, uint32_t *high_low) {
    if (high_low == nullptr) {
        Warn("txw_GetMinXTag: Argument min_xtag is NULL. Return!\n");
        return TXW_ERROR;
    }
    high_low[0] = obj->header.U32(kHdrMinXtag);
    high_low[1] = obj->header.U32(kHdrMinXtag + 4);
    return 0;
}

}  // extern "C"
