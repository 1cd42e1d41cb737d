// File offsets ("uoff") and block layouts, and the offset operations the
// writer selects once per file by pointer length and byte order.
//
// On disk a uoff is always 8 bytes. With pointer length 4 it holds a 32-bit
// offset as a 64-bit integer of the file's byte order (offset in the first
// word on little-endian hosts, in the second on big-endian ones). In memory a
// uoff is the plain 64-bit value.
//
// A block layout (`blk_layout`, 12 bytes on disk) is the uoff of a stored
// block followed by its stored (compressed) length as a u32.
#ifndef TAVRI_WRITER_UOFF_H
#define TAVRI_WRITER_UOFF_H

#include <cstdint>

#include "platform/file_io.h"

namespace tavri::writer {

using Uoff = uint64_t;

// Logical positions inside a stream advance by this much per stored block:
// block index x 0x100000 + position inside the uncompressed block.
constexpr uint32_t kBlockSpan = 0x100000;

struct BlkLayout {
    Uoff offset = 0;
    uint32_t stored_length = 0;
};
constexpr uint32_t kBlkLayoutSize = 12;

void EncodeBlkLayout(const BlkLayout &layout, uint8_t out[kBlkLayoutSize]);
BlkLayout DecodeBlkLayout(const uint8_t in[kBlkLayoutSize]);

// The offset operations of one (pointer length, byte order) combination.
struct OffsetOps {
    Uoff (*next_block)(Uoff position);
    Uoff (*difference)(Uoff later, Uoff earlier);
    Uoff (*tell)(platform::FileHandle file);
    int (*seek)(platform::FileHandle file, Uoff position);
    Uoff (*add)(Uoff a, Uoff b);
    Uoff (*subtract)(Uoff a, Uoff b);
    int (*compare)(Uoff a, Uoff b);
    Uoff (*from_count)(uint32_t count);
    // "(%d %d)" (high word, offset) for pointer length 4, "(0 %ld)" for 8.
    void (*format)(Uoff position, char text[48]);
};

// The operations for pointer length 4 (byte order 1 or 2) or 8; any other
// combination is an internal error.
const OffsetOps *SelectOffsetOps(uint8_t pointer_length, uint8_t endian_type);

}  // namespace tavri::writer

#endif
