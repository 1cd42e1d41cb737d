// Memory regions: every block the writer allocates comes from a region.
//
// A region keeps its blocks on a list, so closing a region releases whatever
// is still allocated from it in one call. The process-wide default region is
// created on first use and never closed; a null region argument means it.
//
// Running out of memory in the default region is fatal: "... Insufficient
// memory ...\n" is printed on the information and error channels and the
// process exits with status 1. Named regions return null instead.
//
// Heap-direct mode, decided once per process on the first region call: when
// SPS_USE_MALLOC is set, PURIFY_POOL_ARENA=1 and PURIFY_POOL_ARENA_SILENCE=1
// are put into the environment first; then, when PURIFY_POOL_ARENA is set and
// DISABLE_POOL_ARENA is not, every region call goes straight to
// malloc/realloc/free without bookkeeping, so that a memory checker sees each
// block on its own (closing a region then releases nothing but the region).
//
// Checking mode, per region: when VM_METHOD is "VMDEBUG" or "vmdebug" as the
// region is created, each block carries guard bytes behind its end and the
// caller's source and line; damaged guard bytes are reported on the warning
// channel when the block is resized or freed or the region closed.
#ifndef TAVRI_WRITER_REGION_H
#define TAVRI_WRITER_REGION_H

#include <cstddef>

namespace tavri::writer {

struct Region;

// Reads the heap-direct switch if no region call has done so yet.
void RegionInit();

// True when region calls go straight to the heap (see above).
bool RegionUsesHeapDirectly();

Region *RegionDefault();

// Opens a new named region (the name is copied); null when out of memory.
Region *RegionOpen(const char *name);

// Releases every block still allocated from the region, then the region.
// Closing the default region (or null) does nothing.
void RegionClose(Region *region);

const char *RegionName(const Region *region);

// Bytes currently allocated from the region by its callers (0 in
// heap-direct mode, where nothing is counted).
size_t RegionBytesInUse(const Region *region);

// count × size zeroed bytes; null (named regions) when out of memory or when
// the product does not fit in size_t.
void *RegionCalloc(Region *region, size_t count, size_t size, const char *source, int line);

void *RegionMalloc(Region *region, size_t size, const char *source, int line);

// Like realloc: a null block allocates, the contents up to the smaller size
// are kept. On failure in a named region the old block stays valid and null
// is returned.
void *RegionRealloc(Region *region, void *block, size_t size, const char *source, int line);

// Frees a block of this region; null does nothing.
void RegionFree(Region *region, void *block, const char *source, int line);

// As RegionCalloc and RegionMalloc, but null on failure even in the default
// region, for callers that report the failure and carry on.
void *RegionTryCalloc(Region *region, size_t count, size_t size, const char *source, int line);
void *RegionTryMalloc(Region *region, size_t size, const char *source, int line);

// The default region's out-of-memory exit, for callers whose own memory
// comes from a named region but who cannot carry on without it.
[[noreturn]] void RegionOutOfMemory();

}  // namespace tavri::writer

#define TXW_CALLOC(region, count, size) \
    ::tavri::writer::RegionCalloc((region), (count), (size), __FILE__, __LINE__)
#define TXW_MALLOC(region, size) ::tavri::writer::RegionMalloc((region), (size), __FILE__, __LINE__)
#define TXW_REALLOC(region, block, size) \
    ::tavri::writer::RegionRealloc((region), (block), (size), __FILE__, __LINE__)
#define TXW_FREE(region, block) ::tavri::writer::RegionFree((region), (block), __FILE__, __LINE__)

#endif
