#include "writer/stop_mark.h"

#include <cstring>

#include "writer/header_layout.h"
#include "writer/object.h"

namespace tavri::writer {

void SetStopMark(txwObject *obj) {
    if (obj->header.U8(kHdrXtagType) != kXtagInteger) {
        ClearStopMark(obj);
        return;
    }
    const uint32_t words[4] = {kStopMarkWord, obj->header.U32(kHdrSessionCount), obj->current_xtag.high,
                               obj->current_xtag.low};
    std::memcpy(obj->reserved_area, words, kStopMarkSize);
}

void ClearStopMark(txwObject *obj) { std::memset(obj->reserved_area, 0, kStopMarkSize); }

}  // namespace tavri::writer
