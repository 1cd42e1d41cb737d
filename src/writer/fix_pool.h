// Named pools of fixed-size elements with a free list, carved from page-sized
// chunks of a region. Every pool sits on a process-wide list, so that memory
// use can be reported pool by pool.
//
// When PURIFY_POOL_ARENA is set as a pool is created, each element of that
// pool is a heap block of its own (behind a 16-byte list header), so that a
// memory checker sees every element; returning an element frees its block.
#ifndef TAVRI_WRITER_FIX_POOL_H
#define TAVRI_WRITER_FIX_POOL_H

#include <cstddef>

namespace tavri::writer {

struct Region;

struct traxFixPool {
    char *name;               // the pool's own copy
    size_t element_size;      // multiple of 8, at least 8
    size_t chunk_size;        // (element size + 4103) rounded down to 4096
    void *free_list;          // returned elements, linked through their first word
    char *cursor;             // next element of the current chunk
    size_t left;              // elements still to carve from the current chunk
    size_t taken;             // elements handed out
    size_t returned;          // elements put back
    size_t chunk_count;
    void *chunks;             // chunks taken, linked through their first word
    Region *region;           // where chunks come from (null: the default region)
    bool heap_elements;       // one heap block per element
    void *heap_list;          // those blocks, doubly linked through their headers
    traxFixPool *prev;        // the process-wide list of pools
    traxFixPool *next;
};

// Null when the name is null or the element size absurdly large, or when
// memory runs out in a named region.
traxFixPool *traxFixPool_Create(const char *name, size_t element_size, Region *region = nullptr);

// An element (not cleared), or null when a named region runs out of memory.
void *traxFixPool_Get(traxFixPool *pool);

// Gives an element back to its pool; null does nothing.
void traxFixPool_Put(traxFixPool *pool, void *element);

// Releases all of the pool's memory and takes it off the list; null does
// nothing.
void traxFixPool_Destroy(traxFixPool *pool);

// First pool of the process-wide list (newest first); follow `next`.
traxFixPool *traxFixPool_First();

}  // namespace tavri::writer

#endif
