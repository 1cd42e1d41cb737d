#include "writer/stop_limit.h"

#include "writer/incore_var.h"
#include "writer/object.h"
#include "writer/vc_mem_pool.h"

namespace tavri::writer {

void NoteStopPosition(txwObject *obj, const BlkLayout &layout) {
    const auto room = static_cast<int64_t>(obj->stop_position) - static_cast<int64_t>(layout.offset);
    if (room <= static_cast<int64_t>(layout.stored_length)) {
        obj->stop_pending = true;
    }
}

void StopIfPending(txwObject *obj) {
    if (obj->stop_pending) {
        obj->stopped = true;
    }
}

void DiscardPendingChanges(txwObject *obj) {
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        if (tree->vars == nullptr) {
            continue;
        }
        for (uint32_t i = 0; i < tree->count; ++i) {
            tree->vars[i].chain_head = tree->vars[i].chain_tail = nullptr;
        }
    }
    if (obj->vc_memory != nullptr) {
        VcReleaseAll(obj->vc_memory);
    }
    obj->changes_pending = false;
    obj->flush_after_change = false;
}

}  // namespace tavri::writer
