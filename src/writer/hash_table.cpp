#include "writer/hash_table.h"

#include <cstring>

#include "writer/messages.h"
#include "writer/region.h"

namespace tavri::writer {
namespace {

constexpr uint32_t kSmallestTable = 4;
constexpr int kSmallestTableShift = 28;
// Growing stops here: four times as many buckets would not fit the 32-bit
// bucket count.
constexpr uint32_t kLargestTable = 1u << 30;

void *Link(const traxHashTable *table, const void *element) {
    void *next = nullptr;
    std::memcpy(&next, static_cast<const char *>(element) + table->link_offset, sizeof next);
    return next;
}

void SetLink(const traxHashTable *table, void *element, void *next) {
    std::memcpy(static_cast<char *>(element) + table->link_offset, &next, sizeof next);
}

uint32_t BucketOf(const traxHashTable *table, const void *key_or_element) {
    return table->hash(key_or_element, table) & table->mask;
}

uint32_t Threshold(uint64_t load_factor, uint64_t bucket_count) {
    const uint64_t threshold = load_factor * bucket_count;
    return threshold > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(threshold);
}

void PushFront(traxHashTable *table, uint32_t bucket, void *element) {
    SetLink(table, element, table->buckets[bucket]);
    table->buckets[bucket] = element;
}

void Grow(traxHashTable *table) {
    if (table->bucket_count > kLargestTable / 4) {
        table->grow_threshold = UINT32_MAX;
        return;
    }
    const uint32_t new_count = table->bucket_count * 4;
    auto **new_buckets = static_cast<void **>(
        RegionTryCalloc(table->region, new_count, sizeof(void *), __FILE__, __LINE__));
    if (new_buckets == nullptr) {
        return;  // keep working at the old size
    }
    void **old_buckets = table->buckets;
    const uint32_t old_count = table->bucket_count;
    table->buckets = new_buckets;
    table->bucket_count = new_count;
    table->mask = new_count - 1;
    table->grow_threshold = table->grow_threshold > UINT32_MAX / 4 ? UINT32_MAX : table->grow_threshold * 4;
    table->shift -= 2;
    table->probe = 0;
    for (uint32_t bucket = 0; bucket < old_count; ++bucket) {
        void *element = old_buckets[bucket];
        while (element != nullptr) {
            void *next = Link(table, element);
            PushFront(table, BucketOf(table, element), element);
            element = next;
        }
    }
    TXW_FREE(table->region, old_buckets);
}

void Added(traxHashTable *table) {
    ++table->count;
    if (table->count >= table->grow_threshold) {
        Grow(table);
    }
}

}  // namespace

bool traxHash_Init(traxHashTable *table, int wanted_buckets, int load_factor, size_t link_offset,
                   traxHashCompare compare, traxHashFunction hash, Region *region, unsigned flags) {
    TXW_ASSERT(hash != nullptr, "traxBOF");
    TXW_ASSERT(compare != nullptr, "traxBOF");
    if (wanted_buckets < 1) {
        wanted_buckets = 64;
    }
    if (load_factor < 1) {
        load_factor = 3;
    }
    uint32_t bucket_count = kSmallestTable;
    int shift = kSmallestTableShift;
    while (bucket_count < static_cast<uint32_t>(wanted_buckets) && bucket_count < kLargestTable) {
        bucket_count *= 2;
        --shift;
    }
    std::memset(table, 0, sizeof *table);
    table->buckets = static_cast<void **>(
        RegionCalloc(region, bucket_count, sizeof(void *), __FILE__, __LINE__));
    if (table->buckets == nullptr) {
        return false;
    }
    table->bucket_count = bucket_count;
    table->mask = bucket_count - 1;
    table->grow_threshold = Threshold(static_cast<uint64_t>(load_factor), bucket_count);
    table->link_offset = link_offset;
    table->shift = shift;
    table->compare = compare;
    table->hash = hash;
    table->region = region;
    table->flags = flags;
    return true;
}

void *traxHash_Lookup(traxHashTable *table, const void *key) {
    const uint32_t bucket = BucketOf(table, key);
    for (void *element = table->buckets[bucket]; element != nullptr; element = Link(table, element)) {
        if (table->compare(element, key)) {
            table->probe = 0;
            return element;
        }
    }
    table->probe = bucket + 1;
    return nullptr;
}

bool traxHash_InsertAfterProbe(traxHashTable *table, void *element) {
    if (table->probe == 0) {
        return false;
    }
    const uint32_t bucket = table->probe - 1;
    table->probe = 0;
    PushFront(table, bucket, element);
    Added(table);
    return true;
}

void *traxHash_InsertIfAbsent(traxHashTable *table, void *element) {
    void *present = traxHash_Lookup(table, element);
    if (present != nullptr) {
        return present;
    }
    traxHash_InsertAfterProbe(table, element);
    return nullptr;
}

void *traxHash_Delete(traxHashTable *table, const void *key) {
    table->probe = 0;
    const uint32_t bucket = BucketOf(table, key);
    void *previous = nullptr;
    for (void *element = table->buckets[bucket]; element != nullptr; element = Link(table, element)) {
        if (table->compare(element, key)) {
            if (previous == nullptr) {
                table->buckets[bucket] = Link(table, element);
            } else {
                SetLink(table, previous, Link(table, element));
            }
            SetLink(table, element, nullptr);
            --table->count;
            return element;
        }
        previous = element;
    }
    return nullptr;
}

void traxHash_WalkBegin(const traxHashTable *table, traxHashWalk *walk) {
    walk->table = table;
    walk->bucket = 0;
    walk->next = nullptr;
}

void *traxHash_WalkNext(traxHashWalk *walk) {
    const traxHashTable *table = walk->table;
    while (walk->next == nullptr && walk->bucket < table->bucket_count) {
        walk->next = table->buckets[walk->bucket++];
    }
    void *element = walk->next;
    if (element != nullptr) {
        walk->next = Link(table, element);
    }
    return element;
}

bool traxHash_Check(const traxHashTable *table, const char *name) {
    if (name == nullptr) {
        name = "";
    }
    bool sound = true;
    uint32_t counted = 0;
    for (uint32_t bucket = 0; bucket < table->bucket_count; ++bucket) {
        for (void *element = table->buckets[bucket]; element != nullptr; element = Link(table, element)) {
            const uint32_t expected = BucketOf(table, element);
            if (expected != bucket) {
                Warn("hash %s: 0x%lx unmatch 0x%x vs 0x%x\n", name,
                     static_cast<unsigned long>(reinterpret_cast<uintptr_t>(element)), bucket, expected);
                sound = false;
            }
            ++counted;
        }
    }
    if (counted != table->count) {
        Warn("hash %s: unmatch %d vs %d\n", name, static_cast<int>(table->count), static_cast<int>(counted));
        sound = false;
    }
    return sound;
}

void traxHash_Free(traxHashTable *table) {
    TXW_FREE(table->region, table->buckets);
    std::memset(table, 0, sizeof *table);
}

}  // namespace tavri::writer
