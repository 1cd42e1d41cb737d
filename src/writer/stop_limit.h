// The stop limit: a file that keeps the earliest stretch of time. Once a
// block is stored at or near the stop position (stop limit x 2^20 -
// 0x80000), the flush that stored it is the last one to write value
// changes: from its end on, value changes are no longer recorded and the
// file is finished normally at close.
#ifndef TAVRI_WRITER_STOP_LIMIT_H
#define TAVRI_WRITER_STOP_LIMIT_H

#include "writer/uoff.h"

struct txwObject;

namespace tavri::writer {

constexpr uint32_t kStopMargin = 0x80000;

// After a block was stored at `layout`: was the room left before the stop
// position not larger than the block?
void NoteStopPosition(txwObject *obj, const BlkLayout &layout);

// At the end of a session flush: a pending stop takes effect.
void StopIfPending(txwObject *obj);

// Drops the changes that wait in memory of a stopped writer.
void DiscardPendingChanges(txwObject *obj);

}  // namespace tavri::writer

#endif
