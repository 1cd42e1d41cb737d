// Write buffers: each collects one stream (scopes, variables, data types,
// value changes, vc chain entries) and turns every full 1 MB of it into one
// compressed block appended to the database file. A record may be split
// across two blocks; readers read a stream through block boundaries.
#ifndef TAVRI_WRITER_WBUF_H
#define TAVRI_WRITER_WBUF_H

#include <cstdint>
#include <cstring>

#include "platform/file_io.h"
#include "writer/uoff.h"

struct txwObject;

namespace tavri::writer {

struct BlockList;

constexpr uint32_t kWriteBufferCapacity = 0x100000;

enum class BlockKind : uint8_t { kScope, kVariable, kDataType, kValueChange, kVcChain };

struct WriteBuffer {
    platform::FileHandle file = platform::kNoFile;
    uint8_t no_compress = 0;
    BlockKind kind = BlockKind::kScope;
    uint8_t *begin = nullptr;
    uint8_t *end = nullptr;
    uint8_t *current = nullptr;
};

// A buffer of `capacity` bytes for one block kind, or null when memory is short.
WriteBuffer *WBufCreate(platform::FileHandle file, bool no_compress, uint32_t capacity,
                        BlockKind kind);
void WBufDestroy(WriteBuffer *buffer);


inline uint32_t WBufRoom(const WriteBuffer *buffer) {
    return static_cast<uint32_t>(buffer->end - buffer->current);
}
inline bool WBufIsEmpty(const WriteBuffer *buffer) { return buffer->current == buffer->begin; }
inline uint32_t WBufPending(const WriteBuffer *buffer) {
    return static_cast<uint32_t>(buffer->current - buffer->begin);
}
// Writes that cross the end of the buffer: stores full blocks on the way.
void WBufPutByteAtEnd(txwObject *obj, WriteBuffer *buffer, uint8_t byte);
void WBufPutBytesAcrossEnd(txwObject *obj, WriteBuffer *buffer, uint32_t length, const void *source);

// The session flush writes every change through these: a write that fits
// is a copy and a pointer bump, inline. A full buffer is stored only when
// the next byte comes, so a stream ends exactly where it ends.
inline void WBufPutByte(txwObject *obj, WriteBuffer *buffer, uint8_t byte) {
    if (buffer->current != buffer->end) {
        *buffer->current++ = byte;
        return;
    }
    WBufPutByteAtEnd(obj, buffer, byte);
}

inline void WBufPutBytes(txwObject *obj, WriteBuffer *buffer, uint32_t length, const void *source) {
    // length - 1 wraps for 0: an empty write at a full buffer stores it, as
    // any write there does.
    if (length - 1 < static_cast<uint32_t>(buffer->end - buffer->current)) {
        std::memcpy(buffer->current, source, length);
        buffer->current += length;
        return;
    }
    WBufPutBytesAcrossEnd(obj, buffer, length, source);
}

void WBufRetarget(WriteBuffer *buffer, platform::FileHandle file, bool no_compress);

// Turns the pending bytes into one stored block and records where it went.
void WBuf_Flush(txwObject *obj, WriteBuffer *buffer);

// Logical position of the next byte of a stream: its base plus the bytes
// pending in its buffer.
Uoff StreamPosition(const txwObject *obj, const WriteBuffer *buffer);

// The block layout of the next write to `file`: its current position and the
// stored length.
BlkLayout NextWriteLayout(const txwObject *obj, platform::FileHandle file, uint32_t stored_length);

// Takes a block-list node from the object's free list (or the heap) and
// appends it to `list`; the nodes of a list go back with ReturnBlockNodes.
bool AppendBlock(txwObject *obj, BlockList *list, const BlkLayout &layout);
void ReturnBlockNodes(txwObject *obj, BlockList *list);

}  // namespace tavri::writer

#endif
