#include "writer/ring.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "writer/flush_session.h"
#include "writer/header_layout.h"
#include "writer/incore_var.h"
#include "writer/lock.h"
#include "writer/messages.h"
#include "writer/session_lists.h"
#include "writer/vc.h"
#include "writer/write_all.h"

namespace tavri::writer {
namespace {

constexpr const char *kSource = "dumplimit";
constexpr uint32_t kMoveChunk = 4096;

Uoff LimitBytes(const txwObject *obj) { return static_cast<Uoff>(obj->dump_limit) << 20; }

// The room kept behind the ring for the finished file's index structures.
Uoff IndexReserve(const txwObject *obj) {
    return (static_cast<Uoff>(obj->header.U32(kHdrMaxVarIdcode)) + 1) * 8 + 0x20000;
}

// The end of the ring for the current limit, with `beyond` bytes of tree
// blocks kept behind it inside the limit; 0 when the limit leaves no ring.
Uoff WrapLimitFor(const txwObject *obj, Uoff beyond) {
    const Uoff taken = IndexReserve(obj) + beyond;
    return LimitBytes(obj) > taken ? LimitBytes(obj) - taken : 0;
}

uint32_t ChainBlockCount(const txwObject *obj) { return obj->header.U32(kHdrVcChainBlkCnt); }

Uoff Position(const txwObject *obj) { return obj->offsets->tell(obj->main_file); }

// The ring starts behind the trees stored before any value change; the
// first block it takes fixes it.
void LayOut(txwObject *obj) {
    Ring &ring = *obj->ring;
    if (ring.laid_out) {
        return;
    }
    ring.laid_out = true;
    ring.ring_start = Position(obj);
    ring.wrap_limit = WrapLimitFor(obj, 0);
    ring.tree_start = std::max(ring.wrap_limit, ring.ring_start);
    ring.end_of_data = ring.tree_start;
    if (ring.next_session_start == kOffsetNotYet) {
        ring.next_session_start = ring.ring_start;
    }
    for (RingSession &session : ring.sessions) {
        if (session.start_off_in_trax == kOffsetNotYet) {
            session.start_off_in_trax = ring.ring_start;
        }
    }
}

bool ValueChangesBegan(const txwObject *obj) {
    return obj->header.U32(kHdrBc1VcCreationCnt) != 0 || obj->header.U32(kHdrBcnVcCreationCnt) != 0;
}

void SetMinimumXtag(txwObject *obj, const Xtag &xtag) {
    obj->first_xtag = xtag;
    obj->header.SetU32(kHdrMinXtag, xtag.high);
    obj->header.SetU32(kHdrMinXtag + 4, xtag.low);
}

// Gives up the oldest retained session; false when it is the only one (the
// newest session alone fills the ring), which is then kept.
bool DropOldest(txwObject *obj) {
    Ring &ring = *obj->ring;
    if (ring.sessions.size() <= 1) {
        return false;
    }
    const RingSession dropped = ring.sessions.front();
    ring.sessions.pop_front();
    TXW_ASSERT(dropped.fifo_vc_chain_end_idx != kNoChainBlock, kSource);
    obj->header.SetU32(kHdrFirstValidChainBlock, dropped.fifo_vc_chain_end_idx + 1);
    SetMinimumXtag(obj, ring.sessions.front().start_xtag);
    return true;
}

[[noreturn]] void MoveFailed(const char *direction, uint32_t count) {
    const int error_number = errno;
    Warn("An unexpected error has occured.\n");
    Warn("Please restart the application and try again.\n");
    Warn("move dynamic tree(%s): min_byte_count = %u, errno = %d\n", direction, count, error_number);
    Warn("error string = %s\n", platform::ErrorText(error_number));
    AssertionFailed(kSource, __LINE__);
}

// Copies [from, from + length) of the main file to `to` (to > from; the
// ranges may overlap), last chunk first.
void MoveUp(txwObject *obj, Uoff from, Uoff to, Uoff length) {
    uint8_t chunk[kMoveChunk];
    Uoff left = length;
    while (left > 0) {
        const auto count = static_cast<uint32_t>(std::min<Uoff>(left, kMoveChunk));
        left -= count;
        if (!platform::ReadAt(obj->main_file, from + left, chunk, count)) {
            MoveFailed("read) ", count);
        }
        if (obj->offsets->seek(obj->main_file, to + left) != 0) {
            MoveFailed("write", count);
        }
        // A write that stores part of the chunk is no error: the rest follows,
        // and a failing write goes to the user as every other write does.
        WriteAll(obj->main_file, chunk, count);
    }
}

void RaiseLayouts(BlockList &list, Uoff from, Uoff by) {
    for (BlockNode *node = list.head; node != nullptr; node = node->next) {
        if (node->layout.offset >= from) {
            node->layout.offset += by;
        }
    }
}

// The tree records name the moved blocks: ".tlist" is written again.
void RewriteTreeList(txwObject *obj) {
    platform::Truncate(obj->tree_list_file, 0);
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        if (tree->written_to_tree_list) {
            AppendTreeRecord(obj, tree);
        }
    }
}

// The newest session alone fills the ring: the limit grows (the first time
// it doubles, then by 1 MB each time) and the ring with it. The tree blocks
// behind the ring move up behind the new end, and writing goes on in the
// room between the old end and the new one, so the session keeps every
// block it has written. Its start counts from the ring start from now on,
// so that it is the first to go once writing comes round again.
void Enlarge(txwObject *obj) {
    Ring &ring = *obj->ring;
    Warn("Dumplimit size too small.\n");
    Warn("There are too many value changes in a timestep.\n");
    const uint64_t step = (ring.enlargement_base + 0x100000) & ~uint64_t{0xFFFFF};
    if (LimitBytes(obj) < step) {
        obj->dump_limit = static_cast<uint32_t>(step >> 20);
        ring.enlargement_base = step;
    } else {
        obj->dump_limit *= 2;
        ring.enlargement_base = LimitBytes(obj);
    }
    obj->header.SetU32(kHdrDumpLimit, obj->dump_limit);
    Warn("Dumplimit size enlarged to %u MB.\n", obj->dump_limit);

    const Uoff old_end = ring.tree_start;
    const Uoff trees = ring.end_of_data - ring.tree_start;
    const Uoff wrap = WrapLimitFor(obj, trees);
    if (wrap > old_end) {
        ScopedLock lock(obj);
        const Uoff by = wrap - old_end;
        if (trees > 0) {
            MoveUp(obj, old_end, wrap, trees);
            for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
                RaiseLayouts(tree->scope_blocks, old_end, by);
                RaiseLayouts(tree->var_blocks, old_end, by);
                RaiseLayouts(tree->data_type_blocks, old_end, by);
            }
            RewriteTreeList(obj);
        }
        ring.wrap_limit = wrap;
        ring.tree_start = wrap;
        ring.end_of_data = wrap + trees;
    }
    if (!ring.sessions.empty()) {
        ring.sessions.front().start_off_in_trax = ring.ring_start;
    }
    ring.wrapped = false;
    obj->offsets->seek(obj->main_file, old_end);
}

// Finds the place of a value-change or vc chain block of `length` bytes and
// moves the file position there.
void PlaceInRing(txwObject *obj, uint32_t length) {
    Ring &ring = *obj->ring;
    for (;;) {
        const Uoff position = Position(obj);
        const Uoff oldest = ring.sessions.empty() ? ring.next_session_start
                                                  : ring.sessions.front().start_off_in_trax;
        const bool to_wrap = !ring.wrapped || oldest < position;
        const Uoff end = to_wrap ? ring.wrap_limit : oldest;
        if (end > position && end - position > length) {
            return;
        }
        if (to_wrap) {
            ring.wrapped = true;
            obj->offsets->seek(obj->main_file, ring.ring_start);
        } else if (!DropOldest(obj)) {
            Enlarge(obj);
        }
    }
}

void RecordRedundantValues(txwObject *obj) {
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        if (tree->vars == nullptr) {
            continue;
        }
        for (uint32_t i = 0; i < tree->count; ++i) {
            IncoreVar &var = tree->vars[i];
            if (var.flushed_before != 0) {
                RecordRedundantValue(obj, var);
            }
        }
    }
}

Xtag CurrentXtag(const txwObject *obj) {
    return Xtag{obj->header.U32(kHdrMaxXtag), obj->header.U32(kHdrMaxXtag + 4)};
}

}  // namespace

Ring *CreateRing() { return new (std::nothrow) Ring; }

void FreeRing(txwObject *obj) {
    delete obj->ring;
    obj->ring = nullptr;
}

BlkLayout RingPlaceBlock(txwObject *obj, BlockKind kind, const uint8_t *data, uint32_t length) {
    Ring &ring = *obj->ring;
    const bool tree_block = kind == BlockKind::kScope || kind == BlockKind::kVariable ||
                            kind == BlockKind::kDataType;
    BlkLayout layout;
    layout.stored_length = length;
    if (tree_block) {
        if (!ValueChangesBegan(obj)) {
            layout.offset = Position(obj);
            WriteAll(obj->main_file, data, length);
            return layout;
        }
        LayOut(obj);
        const Uoff back = Position(obj);
        layout.offset = ring.end_of_data;
        obj->offsets->seek(obj->main_file, ring.end_of_data);
        WriteAll(obj->main_file, data, length);
        ring.end_of_data += length;
        obj->offsets->seek(obj->main_file, back);
        return layout;
    }
    LayOut(obj);
    PlaceInRing(obj, length);
    layout.offset = Position(obj);
    WriteAll(obj->main_file, data, length);
    return layout;
}

void RingBeforeNewXtag(txwObject *obj, const Xtag &next) {
    Ring &ring = *obj->ring;
    if (!ring.session_ending) {
        return;
    }
    ScopedLock lock(obj);
    ring.commit_deferred = true;  // the start that follows commits
    if (obj->changes_pending) {
        SessionFlush(obj);
    }
    // Before the ring is laid out, the next session starts where it will.
    ring.next_session_start = ring.laid_out ? Position(obj) : kOffsetNotYet;
    ring.session_chain_start = ChainBlockCount(obj);
    RingSession &last = ring.sessions.back();
    last.fifo_vc_chain_end_idx = ring.session_chain_start - 1;
    last.xtag = next;
    ring.session_open = false;
    ring.session_ending = false;
    ring.start_requested = true;
}

void RingAfterNewXtag(txwObject *obj) {
    Ring &ring = *obj->ring;
    if (!ring.start_requested) {
        return;
    }
    ScopedLock lock(obj);
    ring.commit_deferred = true;
    if (obj->changes_pending) {
        SessionFlush(obj);
    }
    RingSession session;
    session.start_off_in_trax = ring.next_session_start;
    session.fifo_vc_chain_start_idx = ring.session_chain_start;
    session.start_xtag = session.xtag = CurrentXtag(obj);
    const uint32_t before = ChainBlockCount(obj);
    RecordRedundantValues(obj);
    if (obj->changes_pending) {
        SessionFlush(obj);
    }
    const uint32_t after = ChainBlockCount(obj);
    if (after != before) {
        session.vc_chain_start_idx = before;
        session.vc_chain_end_idx = after - 1;
    }
    ring.sessions.push_back(session);
    ring.start_requested = false;
    ring.session_open = true;
    WriteRedundantList(obj);
    ring.commit_deferred = false;
    CommitFiles(obj);
}

void RingAfterSessionFlush(txwObject *obj) {
    Ring &ring = *obj->ring;
    if (ring.session_open) {
        ring.session_ending = true;
    }
    WriteRedundantList(obj);
}

void WriteRedundantList(txwObject *obj) {
    const Ring &ring = *obj->ring;
    std::vector<uint8_t> bytes;
    bytes.reserve(5 + ring.sessions.size() * 8);
    bytes.push_back(kRedundantListMarker);
    auto put = [&bytes](uint32_t value) {
        uint8_t word[4];
        std::memcpy(word, &value, 4);
        bytes.insert(bytes.end(), word, word + 4);
    };
    put(static_cast<uint32_t>(ring.sessions.size()));
    for (const RingSession &session : ring.sessions) {
        put(session.vc_chain_start_idx);
        put(session.vc_chain_end_idx);
    }
    platform::Seek(obj->redundant_list_file, 0);
    WriteAll(obj->redundant_list_file, bytes.data(), bytes.size());
    platform::Truncate(obj->redundant_list_file, bytes.size());
}

void RingSeekIndexPosition(txwObject *obj) {
    const Ring &ring = *obj->ring;
    if (ring.laid_out && (ring.wrapped || obj->header.U32(kHdrTreeCount) > 1)) {
        obj->offsets->seek(obj->main_file, ring.end_of_data);
    }
}

}  // namespace tavri::writer
