// Value-change memory: pending value changes live in 1 MiB chunks whose
// number is capped by the writer memory limit. Units are carved by bumping a
// cursor and never freed one by one; after every session flush all chunks go
// back to a free list and are reused. When the cap is reached the change
// being created goes to a single overflow buffer and the writer flushes at
// once.
#ifndef TAVRI_WRITER_VC_MEM_POOL_H
#define TAVRI_WRITER_VC_MEM_POOL_H

#include <cstdint>

struct txwObject;

namespace tavri::writer {

constexpr uint32_t kVcChunkPayload = 0xFFFFC;  // bytes of a chunk that carry units
constexpr uint32_t kMinMemLimit = 2;
// The largest limit a writer not told otherwise gets: 16 MB keeps the
// dumper's peak memory near a simulation's own while leaving sessions long
// enough that the file does not grow (17,000 signals, 400 cycles: same size
// as with 64 MB, which took 26 MB more).
constexpr uint32_t kDefaultMemLimit = 16;
// The smallest default. Every session ends the compressed blocks it fills,
// so much shorter sessions make files larger, zstd ones most (300 wide
// registers, 3,000 cycles, against 16 MB: 3 MB made the LZO1B file 7% and
// the zstd file 28% larger, 6 MB 3% and 12%).
constexpr uint32_t kSmallestDefaultMemLimit = 6;
// Default bytes of memory per variable: enough for a session to hold some
// tens of changes of each one (12,000 variables: 9 MB wrote the same file
// as 16 MB; 4 MB one 46% larger, since every session adds an element array
// and a vc chain entry for each changed variable).
constexpr uint32_t kDefaultBytesPerVariable = 768;
constexpr uint32_t kMaxMemLimit = 512;

// Eight-byte aligned, so that the units after it are too where pointers
// are four bytes wide.
struct alignas(8) VcChunk {
    VcChunk *next;
    // kVcChunkPayload bytes of units follow
};

struct VcMemory {
    uint32_t limit = 0;  // chunks (MB)
    bool by_default = false;  // the limit was chosen by DefaultMemLimit()
    VcChunk *free_chunks = nullptr;
    VcChunk *in_use = nullptr;  // newest first
    uint32_t in_use_count = 0;
    uint8_t *cursor = nullptr;
    uint8_t *end = nullptr;
    uint32_t overflow_size = 0;
    uint8_t *overflow = nullptr;
};

// Sets the writer memory limit in MB (clamped to 2..512): flushes pending
// changes and replaces the memory when one exists. Returns 0.
int SetValueChangeMemLimit(txwObject *obj, uint32_t megabytes);

// The limit of a writer not told otherwise, in MB, for its number of
// idcodes: kDefaultBytesPerVariable each, kept within
// kSmallestDefaultMemLimit..kDefaultMemLimit.
uint32_t DefaultMemLimit(uint32_t idcodes);

// Sets DefaultMemLimit() for the idcodes when no memory exists, or raises a
// default limit that more idcodes call for.
void SetOrRaiseDefaultMemLimit(txwObject *obj, uint32_t idcodes);

// Address of a unit of `bytes` bytes (rounded up to a multiple of 8). When
// the limit is reached this is the overflow buffer and the object's
// flush-after-change flag is set: the caller must flush once it has linked
// the change.
void *VcAllocate(txwObject *obj, VcMemory *memory, uint32_t bytes);

// Returns every chunk to the free list.
void VcReleaseAll(VcMemory *memory);

void VcDestroy(VcMemory *memory);

uint32_t VcChunksInUse(const VcMemory *memory);

}  // namespace tavri::writer

#endif
