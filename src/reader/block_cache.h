// Stored blocks and the cache of their decompressed contents.
//
// Every bulk stream of a database is cut into blocks of at most 0x100000
// bytes, each compressed on its own with the file's method (LZO1B or zstd)
// and appended to the main file.
// A block is found through its layout (`blk_layout`, 12 bytes on disk): the
// file offset of the stored bytes (an 8-byte uoff) and their stored length
// (4 bytes).
#ifndef TAVRI_READER_BLOCK_CACHE_H
#define TAVRI_READER_BLOCK_CACHE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "reader/block_decoder.h"
#include "reader/byte_order.h"
#include "reader/file_source.h"
#include "reader/status.h"

namespace tavri::reader {

constexpr uint32_t kBlockSize = 0x100000;
constexpr unsigned kBlockShift = 20;
// LZO's bound for incompressible input of one full block (zstd's is lower).
constexpr uint32_t kMaxStoredLength = kBlockSize + kBlockSize / 16 + 64 + 3;
constexpr size_t kLayoutBytes = 12;

struct BlockLayout {
    uint64_t offset = 0;
    uint32_t stored_length = 0;
};

BlockLayout ReadLayout(const FieldOrder &order, const uint8_t *bytes);

using BlockData = std::shared_ptr<const std::vector<uint8_t>>;

// A few decompressed blocks, least recently used out first. Blocks handed out
// stay alive while their holder keeps them, even once evicted, and a block
// that some holder still keeps is handed out again rather than decompressed
// a second time: readers that walk many element arrays side by side share
// the blocks they stand in.
class BlockCache {
  public:
    BlockCache(const FileSource *file, size_t capacity, uint8_t method = kMethodLzo1b);

    // Checks that the layout names stored bytes inside the data area.
    Status CheckLayout(const BlockLayout &layout) const;
    Status Get(const BlockLayout &layout, BlockData *out);
    // Runs after the stored bytes of a block were read from the file and
    // before they are used; a failure fails the Get.
    void SetReadCheck(std::function<Status(const BlockLayout &)> check) {
        read_check_ = std::move(check);
    }

    uint64_t decompressed() const { return decompressed_; }
    uint64_t hits() const { return hits_; }

  private:
    struct Slot {
        uint64_t offset = 0;
        uint32_t length = 0;
        BlockData data;
        uint64_t last_use = 0;
    };

    struct Held {
        uint32_t length = 0;
        std::weak_ptr<const std::vector<uint8_t>> data;
    };
    // Buffers of blocks that nobody holds any more, kept for the next blocks:
    // a fresh megabyte for every block costs a page fault per 4 KB. Shared with the blocks' deleters, so a
    // block may outlive the cache.
    struct Spares {
        std::vector<std::unique_ptr<std::vector<uint8_t>>> buffers;  // at most `limit`
        size_t limit = 0;
    };

    Slot *Victim();
    void Remember(const BlockLayout &layout, const BlockData &data);
    std::unique_ptr<std::vector<uint8_t>> TakeSpare();
    BlockData Share(std::unique_ptr<std::vector<uint8_t>> buffer);

    const FileSource *file_;
    size_t capacity_;
    BlockDecoder decoder_;
    std::function<Status(const BlockLayout &)> read_check_;
    std::vector<Slot> slots_;
    std::unordered_map<uint64_t, Held> held_;  // by block offset
    std::vector<uint8_t> stored_;
    std::vector<uint8_t> scratch_;
    std::shared_ptr<Spares> spares_;
    uint64_t clock_ = 0;
    uint64_t decompressed_ = 0;
    uint64_t hits_ = 0;
};

}  // namespace tavri::reader

#endif
