#include "writer/fix_pool.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "writer/messages.h"
#include "writer/region.h"

namespace tavri::writer {
namespace {

constexpr size_t kLinkSize = sizeof(void *);
constexpr size_t kPageSize = 4096;
// Elements larger than this would make the chunk size arithmetic overflow;
// nothing in the writer comes near it.
constexpr size_t kLargestElement = SIZE_MAX / 4;

// Header of an element that is a heap block of its own.
struct alignas(16) HeapElement {
    HeapElement *prev;
    HeapElement *next;
};
static_assert(sizeof(HeapElement) == 16);

std::mutex g_list_lock;
traxFixPool *g_first_pool = nullptr;

void *ReadLink(const void *at) {
    void *link = nullptr;
    std::memcpy(&link, at, kLinkSize);
    return link;
}

void WriteLink(void *at, void *link) { std::memcpy(at, &link, kLinkSize); }

bool TakeChunk(traxFixPool *pool) {
    char *chunk = static_cast<char *>(
        RegionMalloc(pool->region, pool->chunk_size, __FILE__, __LINE__));
    if (chunk == nullptr) {
        return false;
    }
    WriteLink(chunk, pool->chunks);
    pool->chunks = chunk;
    ++pool->chunk_count;
    pool->cursor = chunk + kLinkSize;
    pool->left = (pool->chunk_size - kLinkSize) / pool->element_size;
    TXW_ASSERT(pool->left > 0, "traxFixPool");
    return true;
}

void *GetHeapElement(traxFixPool *pool) {
    auto *header = static_cast<HeapElement *>(std::malloc(sizeof(HeapElement) + pool->element_size));
    if (header == nullptr) {
        return nullptr;
    }
    auto *first = static_cast<HeapElement *>(pool->heap_list);
    header->prev = nullptr;
    header->next = first;
    if (first != nullptr) {
        first->prev = header;
    }
    pool->heap_list = header;
    return header + 1;
}

void PutHeapElement(traxFixPool *pool, void *element) {
    HeapElement *header = static_cast<HeapElement *>(element) - 1;
    if (header->prev != nullptr) {
        header->prev->next = header->next;
    } else {
        pool->heap_list = header->next;
    }
    if (header->next != nullptr) {
        header->next->prev = header->prev;
    }
    std::free(header);
}

}  // namespace

traxFixPool *traxFixPool_Create(const char *name, size_t element_size, Region *region) {
    if (name == nullptr || element_size > kLargestElement) {
        return nullptr;
    }
    RegionInit();  // puts PURIFY_POOL_ARENA in place when SPS_USE_MALLOC asks for it
    auto *pool = static_cast<traxFixPool *>(RegionCalloc(region, 1, sizeof(traxFixPool), __FILE__, __LINE__));
    if (pool == nullptr) {
        return nullptr;
    }
    const size_t name_length = std::strlen(name);
    pool->name = static_cast<char *>(RegionMalloc(region, name_length + 1, __FILE__, __LINE__));
    if (pool->name == nullptr) {
        TXW_FREE(region, pool);
        return nullptr;
    }
    std::memcpy(pool->name, name, name_length + 1);
    // A zero size still gets room for the free-list link.
    pool->element_size = element_size == 0 ? 8 : (element_size + 7) & ~static_cast<size_t>(7);
    pool->chunk_size = (pool->element_size + kPageSize + kLinkSize - 1) & ~(kPageSize - 1);
    pool->region = region;
    pool->heap_elements = std::getenv("PURIFY_POOL_ARENA") != nullptr;
    if (pool->heap_elements && std::getenv("PURIFY_POOL_ARENA_SILENCE") == nullptr) {
        std::fputs("!!! PURIFY_POOL_ARENA is Enable !!!\n", stderr);
    }
    std::lock_guard<std::mutex> hold(g_list_lock);
    pool->next = g_first_pool;
    if (g_first_pool != nullptr) {
        g_first_pool->prev = pool;
    }
    g_first_pool = pool;
    return pool;
}

void *traxFixPool_Get(traxFixPool *pool) {
    void *element = nullptr;
    if (pool->heap_elements) {
        element = GetHeapElement(pool);
    } else if (pool->free_list != nullptr) {
        element = pool->free_list;
        pool->free_list = ReadLink(element);
    } else {
        if (pool->left == 0 && !TakeChunk(pool)) {
            return nullptr;
        }
        element = pool->cursor;
        pool->cursor += pool->element_size;
        --pool->left;
    }
    if (element != nullptr) {
        ++pool->taken;
    }
    return element;
}

void traxFixPool_Put(traxFixPool *pool, void *element) {
    if (element == nullptr) {
        return;
    }
    if (pool->heap_elements) {
        PutHeapElement(pool, element);
    } else {
        WriteLink(element, pool->free_list);
        pool->free_list = element;
    }
    ++pool->returned;
}

void traxFixPool_Destroy(traxFixPool *pool) {
    if (pool == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(g_list_lock);
        if (pool->prev != nullptr) {
            pool->prev->next = pool->next;
        } else {
            g_first_pool = pool->next;
        }
        if (pool->next != nullptr) {
            pool->next->prev = pool->prev;
        }
    }
    void *chunk = pool->chunks;
    while (chunk != nullptr) {
        void *next = ReadLink(chunk);
        TXW_FREE(pool->region, chunk);
        chunk = next;
    }
    auto *header = static_cast<HeapElement *>(pool->heap_list);
    while (header != nullptr) {
        HeapElement *next = header->next;
        std::free(header);
        header = next;
    }
    Region *region = pool->region;
    TXW_FREE(region, pool->name);
    TXW_FREE(region, pool);
}

traxFixPool *traxFixPool_First() {
    std::lock_guard<std::mutex> hold(g_list_lock);
    return g_first_pool;
}

}  // namespace tavri::writer
