// Turning the recording of value changes off and on. While dumping is off
// every value-change creation is refused; the switch itself is recorded as
// value 1 (off) and 0 (on) of the reserved idcode 0 once variables exist.
#include "writer/object.h"
#include "writer/tree.h"
#include "writer/vc.h"

using namespace tavri::writer;

namespace {

// The marker exists once the first tree has ended.
bool HasMarker(txwObject *obj) { return FindIncoreVar(obj, 0) != nullptr; }

}  // namespace

extern "C" {

int txw_DumpOff(txwObject *obj) {
    if (obj->dumping_off) {
        return 0;
    }
    for (txwDumpCB callback : obj->dump_callbacks) {
        callback(2, 0);
    }
    if (HasMarker(obj)) {
        const uint8_t off = 1;
        CreateValueByIdcode(obj, 0, &off);
        obj->header.AddU32(kHdrDumpOffCount, 1);
    }
    obj->dumping_off = true;
    return 0;
}

int txw_DumpOn(txwObject *obj) {
    if (!obj->dumping_off) {
        return 0;
    }
    for (txwDumpCB callback : obj->dump_callbacks) {
        callback(1, 0);
    }
    obj->dumping_off = false;
    if (HasMarker(obj)) {
        const uint8_t on = 0;
        CreateValueByIdcode(obj, 0, &on);
    }
    return 0;
}

}  // extern "C"
