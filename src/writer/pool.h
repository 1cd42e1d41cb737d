// A growing pool of equal-sized elements, handed out one after the other
// from chunks of the default region. Elements are never returned one by one;
// the pool only grows, and its chunks stay on the list until it is destroyed,
// so that a reset pool hands out the same memory again.
//
// A chunk is a link word (the next chunk) followed by the elements, in
// address order. Elements can be walked again in the order they were handed
// out.
#ifndef TAVRI_WRITER_POOL_H
#define TAVRI_WRITER_POOL_H

#include <cstddef>
#include <cstdint>

namespace tavri::writer {

struct traxPoolObj {
    size_t chunk_bytes;        // link word + elements per chunk × element size
    uint16_t element_size;
    uint32_t elements_left;    // in the current chunk
    char *next_free;           // next element of the current chunk
    char *iterate_chunk;       // chunk being walked; null at the end
    char *iterate_next;        // next element of that chunk
    char *first_chunk;
    char *current_chunk;
};

// Null (with a message on the warning channel) when memory runs out or the
// sizes are zero or too large for one chunk.
traxPoolObj *traxPoolObj_Create(uint16_t element_size, uint32_t elements_per_chunk);

// The next element (its contents are whatever the chunk held), or null.
void *traxPoolObj_GetOneElement(traxPoolObj *pool);

// Hands out the pool's elements again from the first one; the memory is
// reused, not cleared.
void traxPoolObj_Reset(traxPoolObj *pool);

// Walks the elements handed out so far, in hand-out order; the next call
// returns null after the last one.
void traxPoolObj_IterateBegin(traxPoolObj *pool);
void *traxPoolObj_IterateNext(traxPoolObj *pool);

void traxPoolObj_Destroy(traxPoolObj *pool);

}  // namespace tavri::writer

#endif
