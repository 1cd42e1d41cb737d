#include "writer/pool.h"

#include <cstdint>
#include <cstring>

#include "writer/messages.h"
#include "writer/region.h"

namespace tavri::writer {
namespace {

constexpr size_t kLinkSize = sizeof(char *);

char *NextChunk(const char *chunk) {
    char *next = nullptr;
    std::memcpy(&next, chunk, kLinkSize);
    return next;
}

void SetNextChunk(char *chunk, char *next) { std::memcpy(chunk, &next, kLinkSize); }

uint32_t ElementsPerChunk(const traxPoolObj *pool) {
    return static_cast<uint32_t>((pool->chunk_bytes - kLinkSize) / pool->element_size);
}

// End of the handed-out elements of a chunk: the whole chunk, except for the
// chunk elements are being taken from.
const char *HandedOutEnd(const traxPoolObj *pool, const char *chunk) {
    return chunk == pool->current_chunk ? pool->next_free : chunk + pool->chunk_bytes;
}

}  // namespace

traxPoolObj *traxPoolObj_Create(uint16_t element_size, uint32_t elements_per_chunk) {
    if (element_size == 0 || elements_per_chunk == 0) {
        Warn("traxPoolObj_Create(): element size and count must not be zero.\n");
        return nullptr;
    }
    auto *pool = static_cast<traxPoolObj *>(
        RegionTryCalloc(nullptr, 1, sizeof(traxPoolObj), __FILE__, __LINE__));
    if (pool == nullptr) {
        Warn("traxPoolObj_Create(): failed to allocate a traxPoolObj.\n");
        return nullptr;
    }
    // The product fits in 64 bits (the factors are below 2^16 and 2^32); a
    // chunk larger than the address space, possible with a 32-bit size_t,
    // is an allocation that fails.
    const uint64_t chunk_bytes = static_cast<uint64_t>(elements_per_chunk) * element_size + kLinkSize;
    if (chunk_bytes != static_cast<size_t>(chunk_bytes)) {
        Warn("traxPoolObj_Create(): failed to allocate memory.\n");
        TXW_FREE(nullptr, pool);
        return nullptr;
    }
    pool->chunk_bytes = static_cast<size_t>(chunk_bytes);
    pool->element_size = element_size;
    pool->first_chunk =
        static_cast<char *>(RegionTryCalloc(nullptr, 1, pool->chunk_bytes, __FILE__, __LINE__));
    if (pool->first_chunk == nullptr) {
        Warn("traxPoolObj_Create(): failed to allocate memory.\n");
        TXW_FREE(nullptr, pool);
        return nullptr;
    }
    traxPoolObj_Reset(pool);
    return pool;
}

void *traxPoolObj_GetOneElement(traxPoolObj *pool) {
    if (pool->elements_left == 0) {
        char *next = NextChunk(pool->current_chunk);
        if (next == nullptr) {
            next = static_cast<char *>(RegionTryMalloc(nullptr, pool->chunk_bytes, __FILE__, __LINE__));
            if (next == nullptr) {
                Warn("traxPoolObj_GetOneElement(): failed to allocate memory.\n");
                return nullptr;
            }
            SetNextChunk(next, nullptr);
            SetNextChunk(pool->current_chunk, next);
        }
        pool->current_chunk = next;
        pool->next_free = next + kLinkSize;
        pool->elements_left = ElementsPerChunk(pool);
    }
    char *element = pool->next_free;
    pool->next_free += pool->element_size;
    --pool->elements_left;
    return element;
}

void traxPoolObj_Reset(traxPoolObj *pool) {
    pool->current_chunk = pool->first_chunk;
    pool->next_free = pool->first_chunk + kLinkSize;
    pool->elements_left = ElementsPerChunk(pool);
    pool->iterate_chunk = nullptr;
    pool->iterate_next = nullptr;
}

void traxPoolObj_IterateBegin(traxPoolObj *pool) {
    pool->iterate_chunk = pool->first_chunk;
    pool->iterate_next = pool->first_chunk + kLinkSize;
}

void *traxPoolObj_IterateNext(traxPoolObj *pool) {
    while (pool->iterate_chunk != nullptr) {
        if (pool->iterate_next < HandedOutEnd(pool, pool->iterate_chunk)) {
            char *element = pool->iterate_next;
            pool->iterate_next += pool->element_size;
            return element;
        }
        if (pool->iterate_chunk == pool->current_chunk) {
            pool->iterate_chunk = nullptr;
            break;
        }
        pool->iterate_chunk = NextChunk(pool->iterate_chunk);
        pool->iterate_next = pool->iterate_chunk + kLinkSize;
    }
    return nullptr;
}

void traxPoolObj_Destroy(traxPoolObj *pool) {
    if (pool == nullptr) {
        return;
    }
    char *chunk = pool->first_chunk;
    while (chunk != nullptr) {
        char *next = NextChunk(chunk);
        TXW_FREE(nullptr, chunk);
        chunk = next;
    }
    TXW_FREE(nullptr, pool);
}

}  // namespace tavri::writer
