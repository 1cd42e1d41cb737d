// Logical streams over stored blocks.
//
// The variable, value-change and vc chain streams are addressed by logical
// positions: block index × 0x100000 + offset inside the decompressed block,
// the block index counting the stream's blocks from 0. A record may start in
// one block and end in the next; that only happens when the first block is
// full, since a stream is cut into a new block only when its buffer is full
// or its owner ends it (end of a tree or of a session).
#ifndef TAVRI_READER_STREAM_H
#define TAVRI_READER_STREAM_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "reader/block_cache.h"
#include "reader/byte_order.h"
#include "reader/status.h"

namespace tavri::reader {

struct StreamBlock {
    uint32_t index = 0;
    BlockLayout layout;
    uint32_t owner = 0;      // the tree or session that stored it
    bool redundant = false;  // a vc chain block of a ring session's redundant value changes
};

class Stream {
  public:
    // With `full_blocks_only`, a read may continue into the next block only
    // from a block of exactly 0x100000 bytes.
    Stream(const char *name, BlockCache *cache, bool full_blocks_only)
        : name_(name), cache_(cache), full_blocks_only_(full_blocks_only) {}

    // Blocks are added in ascending index order.
    Status Add(uint32_t index, const BlockLayout &layout, uint32_t owner, bool redundant = false);
    const StreamBlock *Find(uint32_t index) const;
    // The block a position lies in, or null.
    const StreamBlock *FindPosition(uint64_t position) const;
    const std::vector<StreamBlock> &blocks() const { return blocks_; }
    const char *name() const { return name_; }
    BlockCache *cache() const { return cache_; }
    bool full_blocks_only() const { return full_blocks_only_; }

  private:
    const char *name_;
    BlockCache *cache_;
    bool full_blocks_only_;
    std::vector<StreamBlock> blocks_;
};

// Reads a stream byte by byte through the block cache.
class Cursor {
  public:
    Cursor(const Stream *stream, const FieldOrder &order) : order_(order), stream_(stream) {}

    // Moves to a logical position; CORRUPT when no block of the stream holds it.
    Status Seek(uint64_t position);
    uint64_t position() const {
        return block_ == nullptr ? 0 : (static_cast<uint64_t>(block_->index) << kBlockShift) + offset_;
    }
    // The bytes left in the current block.
    size_t BytesInBlock() const { return size_ - offset_; }
    const StreamBlock *block() const { return block_; }
    const Stream *stream() const { return stream_; }
    // Lets go of the current block; the next read needs a Seek.
    void Release();
    // Every byte of the current block has been read.
    bool BlockEnded() const { return block_ != nullptr && offset_ == data_->size(); }
    // The current block holds a full 0x100000 bytes.
    bool BlockFull() const { return block_ != nullptr && data_->size() == kBlockSize; }
    // Bytes inside the current block are read inline; the rest (the next
    // block, failures) out of line.
    Status Byte(uint8_t *out) {
        if (offset_ < size_) {
            *out = bytes_[offset_++];
            return Status();
        }
        return NextBlockByte(out, true);
    }
    Status Peek(uint8_t *out) {
        if (offset_ < size_) {
            *out = bytes_[offset_];
            return Status();
        }
        return NextBlockByte(out, false);
    }
    Status Bytes(uint8_t *out, size_t count) {
        if (count <= size_ - offset_ && count != 0) {
            std::memcpy(out, bytes_ + offset_, count);
            offset_ += count;
            return Status();
        }
        return BytesAcross(out, count);
    }
    // The next `count` bytes where the current block holds them all (moving
    // past them), or null (not moving).
    const uint8_t *Take(size_t count) {
        if (count > size_ - offset_) return nullptr;
        const uint8_t *at = bytes_ + offset_;
        offset_ += count;
        return at;
    }
    // The next `count` bytes where the current block holds them all, or
    // null; Skip then moves past those read.
    const uint8_t *Window(size_t count) const {
        return count <= size_ - offset_ ? bytes_ + offset_ : nullptr;
    }
    void Skip(size_t count) { offset_ += count; }
    const FieldOrder &order() const { return order_; }
    // Where the next bytes lie in memory, for fetching them into the
    // processor's cache ahead of a read that comes later; null at the end of
    // the block.
    const uint8_t *Ahead() const { return offset_ < size_ ? bytes_ + offset_ : nullptr; }

    Status U16(uint16_t *out);
    Status U32(uint32_t *out);
    // An unsigned field of 1, 2 or 4 bytes, or an 8-byte field in the file's
    // order (uoff).
    Status Unsigned(unsigned width, uint64_t *out) {
        if (width <= size_ - offset_ && (width == 2 || width == 4)) {
            const uint8_t *at = bytes_ + offset_;
            offset_ += width;
            *out = width == 2 ? order_.U16(at) : order_.U32(at);
            return Status();
        }
        return UnsignedAcross(width, out);
    }
    // Two 32-bit words, high word first.
    Status HighLow(uint64_t *out);
    // A NUL-terminated text of at most `limit` bytes before the NUL.
    Status Text(std::string *out, size_t limit);
    // No byte follows in the stream.
    bool AtEnd() const;
    // An upper bound of the bytes left in the stream from here.
    uint64_t RemainingBound() const;

  private:
    Status Load(const StreamBlock *block);
    Status Advance();
    Status Unavailable() const;
    // Byte and Peek at the end of the current block (or without one).
    Status NextBlockByte(uint8_t *out, bool consume);
    // Bytes that run past the end of the current block.
    Status BytesAcross(uint8_t *out, size_t count);
    // Unsigned for other widths, or across the end of the current block.
    Status UnsignedAcross(unsigned width, uint64_t *out);

    // The current block's bytes (none without a block): offset_ <= size_.
    // First, with the byte order: what reading an element needs lies in
    // the record's first bytes.
    // A block holds at most kBlockSize bytes: 32 bits count them.
    const uint8_t *bytes_ = nullptr;
    uint32_t size_ = 0;
    uint32_t offset_ = 0;
    FieldOrder order_;
    const Stream *stream_;
    const StreamBlock *block_ = nullptr;
    BlockData data_;
};

}  // namespace tavri::reader

#endif
