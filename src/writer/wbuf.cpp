#include "writer/wbuf.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "writer/compressor.h"
#include "writer/debug_log.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/ring.h"
#include "writer/stop_limit.h"
#include "writer/write_all.h"

namespace tavri::writer {
namespace {

constexpr const char *kSource = "wbuf";

const char *HookName(BlockKind kind) {
    switch (kind) {
        case BlockKind::kScope:
            return "__OneScopeBlkHasBeenFlushed";
        case BlockKind::kVariable:
            return "__OneVarBlkHasBeenFlushed";
        case BlockKind::kDataType:
            return "__OneDataTypeBlkHasBeenFlushed";
        case BlockKind::kValueChange:
            return "__OneVCBlkHasBeenFlushed";
        case BlockKind::kVcChain:
            return "__OneVCChainBlkHasBeenFlushed";
    }
    return "";
}

void RecordOrDie(txwObject *obj, BlockList *list, const BlkLayout &layout, BlockKind kind) {
    if (!AppendBlock(obj, list, layout)) {
        Warn("%s(): Memory resources exhausted.\n", HookName(kind));
        std::exit(-3);
    }
}

// Value-change and vc chain blocks; the others belong to trees.
bool IsValueChangeKind(BlockKind kind) {
    return kind == BlockKind::kValueChange || kind == BlockKind::kVcChain;
}

// Files the stored block in the list of its kind and moves the stream's
// logical base and header counter on.
void BlockStored(txwObject *obj, WriteBuffer *buffer, const BlkLayout &layout) {
    HeaderImage &header = obj->header;
    switch (buffer->kind) {
        case BlockKind::kScope:
            TXW_ASSERT(buffer == obj->scope_buffer && obj->last_tree != nullptr, kSource);
            RecordOrDie(obj, &obj->last_tree->scope_blocks, layout, buffer->kind);
            header.AddU32(kHdrScopeBlkCnt, 1);
            break;
        case BlockKind::kVariable:
            TXW_ASSERT(buffer == obj->var_buffer && obj->last_tree != nullptr, kSource);
            RecordOrDie(obj, &obj->last_tree->var_blocks, layout, buffer->kind);
            obj->var_base = obj->offsets->next_block(obj->var_base);
            header.AddU32(kHdrVarBlkCnt, 1);
            break;
        case BlockKind::kDataType:
            TXW_ASSERT(buffer == obj->data_type_buffer && obj->last_tree != nullptr, kSource);
            RecordOrDie(obj, &obj->last_tree->data_type_blocks, layout, buffer->kind);
            obj->data_type_base = obj->offsets->next_block(obj->data_type_base);
            header.AddU32(kHdrDataTypeBlkCnt, 1);
            break;
        case BlockKind::kValueChange:
            TXW_ASSERT(buffer == obj->vc_buffer, kSource);
            RecordOrDie(obj, &obj->session_vc_blocks, layout, buffer->kind);
            obj->vc_base = obj->offsets->next_block(obj->vc_base);
            header.AddU32(kHdrVcBlkCnt, 1);
            if (obj->vc_block_callback != nullptr) {
                obj->vc_block_callback(obj, header.U32(kHdrVcBlkCnt));
            }
            break;
        case BlockKind::kVcChain:
            TXW_ASSERT(buffer == obj->vc_chain_buffer, kSource);
            RecordOrDie(obj, &obj->session_vc_chain_blocks, layout, buffer->kind);
            obj->vc_chain_base = obj->offsets->next_block(obj->vc_chain_base);
            header.AddU32(kHdrVcChainBlkCnt, 1);
            break;
        default:
            AssertionFailed(kSource, __LINE__);
    }
    const int64_t position = platform::Tell(obj->main_file);
    if (position > 0 && static_cast<uint64_t>(position) > obj->file_high_water) {
        obj->file_high_water = static_cast<uint64_t>(position);
    }
    if (obj->progress_newline) {
        ++obj->stored_blocks;
        std::fputc('.', stderr);
        if (obj->stored_blocks % 32 == 0) {
            std::fputc('\n', stderr);
        }
    }
}

}  // namespace

WriteBuffer *WBufCreate(platform::FileHandle file, bool no_compress, uint32_t capacity,
                        BlockKind kind) {
    auto *buffer = new (std::nothrow) WriteBuffer;
    if (buffer == nullptr) {
        return nullptr;
    }
    buffer->begin = static_cast<uint8_t *>(std::malloc(capacity));
    if (buffer->begin == nullptr) {
        delete buffer;
        return nullptr;
    }
    buffer->file = file;
    buffer->no_compress = no_compress ? 1 : 0;
    buffer->kind = kind;
    buffer->end = buffer->begin + capacity;
    buffer->current = buffer->begin;
    return buffer;
}

void WBufDestroy(WriteBuffer *buffer) {
    if (buffer != nullptr) {
        std::free(buffer->begin);
        delete buffer;
    }
}

void WBufRetarget(WriteBuffer *buffer, platform::FileHandle file, bool no_compress) {
    buffer->file = file;
    buffer->no_compress = no_compress ? 1 : 0;
}

void WBufPutByteAtEnd(txwObject *obj, WriteBuffer *buffer, uint8_t byte) {
    WBuf_Flush(obj, buffer);
    *buffer->current++ = byte;
}

void WBufPutBytesAcrossEnd(txwObject *obj, WriteBuffer *buffer, uint32_t length, const void *source) {
    if (buffer->current == buffer->end) {
        WBuf_Flush(obj, buffer);
    }
    const auto *next = static_cast<const uint8_t *>(source);
    while (length > 0) {
        const uint32_t room = WBufRoom(buffer);
        const uint32_t piece = length < room ? length : room;
        std::memcpy(buffer->current, next, piece);
        buffer->current += piece;
        next += piece;
        length -= piece;
        if (length > 0) {
            WBuf_Flush(obj, buffer);
        }
    }
}

void WBuf_Flush(txwObject *obj, WriteBuffer *buffer) {
    const auto pending = static_cast<uint32_t>(buffer->current - buffer->begin);
    if (pending == 0) {
        return;
    }
    if (obj->stopped && IsValueChangeKind(buffer->kind)) {
        buffer->current = buffer->begin;
        return;
    }
    const uint8_t *stored = buffer->begin;
    uint32_t stored_length = pending;
    if (buffer->no_compress == 0) {
        CompressorSetMethod(obj->compressor, obj->header.U8(kHdrCompression));
        CompressorSetInput(obj->compressor, buffer->begin, pending);
        // Only value changes repay the chosen level's search.
        const bool compressed = buffer->kind == BlockKind::kValueChange
                                    ? Compress(obj->compressor, &stored, &stored_length)
                                    : CompressQuickly(obj->compressor, &stored, &stored_length);
        TXW_ASSERT(compressed, kSource);
        const auto capacity = static_cast<uint32_t>(buffer->end - buffer->begin);
        if (stored_length > capacity) {
            DebugLog(obj, "WBuf_Flush(): cmp_len(%d) > wbuf->end(%d) - wbuf->begin(%d)",
                     static_cast<int>(stored_length), static_cast<int>(capacity), 0);
        }
    }
    // A writer never has both a dump limit and a limited file size.
    TXW_ASSERT(obj->dump_limit == 0 || obj->limited_file_size == 0, kSource);
    BlkLayout layout;
    if (obj->ring != nullptr) {
        layout = RingPlaceBlock(obj, buffer->kind, stored, stored_length);
    } else {
        layout = NextWriteLayout(obj, buffer->file, stored_length);
        WriteAll(buffer->file, stored, stored_length);
    }
    if (obj->stop_limit != 0) {
        NoteStopPosition(obj, layout);
    }
    BlockStored(obj, buffer, layout);
    buffer->current = buffer->begin;
}

Uoff StreamPosition(const txwObject *obj, const WriteBuffer *buffer) {
    Uoff base = 0;
    switch (buffer->kind) {
        case BlockKind::kVariable:
            base = obj->var_base;
            break;
        case BlockKind::kDataType:
            base = obj->data_type_base;
            break;
        case BlockKind::kValueChange:
            base = obj->vc_base;
            break;
        case BlockKind::kVcChain:
            base = obj->vc_chain_base;
            break;
        case BlockKind::kScope:
            break;
    }
    return obj->offsets->add(base, WBufPending(buffer));
}

BlkLayout NextWriteLayout(const txwObject *obj, platform::FileHandle file, uint32_t stored_length) {
    BlkLayout layout;
    layout.offset = obj->offsets->tell(file);
    layout.stored_length = stored_length;
    return layout;
}

bool AppendBlock(txwObject *obj, BlockList *list, const BlkLayout &layout) {
    BlockNode *node = obj->free_block_nodes;
    if (node != nullptr) {
        obj->free_block_nodes = node->next;
    } else {
        node = new (std::nothrow) BlockNode;
        if (node == nullptr) {
            return false;
        }
    }
    node->next = nullptr;
    node->layout = layout;
    if (list->tail != nullptr) {
        list->tail->next = node;
    } else {
        list->head = node;
    }
    list->tail = node;
    ++list->count;
    return true;
}

void ReturnBlockNodes(txwObject *obj, BlockList *list) {
    if (list->head != nullptr) {
        list->tail->next = obj->free_block_nodes;
        obj->free_block_nodes = list->head;
    }
    *list = BlockList{};
}

}  // namespace tavri::writer
