// Chained hash tables over caller-owned elements. Each element carries the
// link pointer of its chain at a fixed byte offset, so the table allocates
// nothing per element. Keys are records shaped like the elements: the
// compare and hash functions take either.
//
// The usual pattern is a lookup that misses followed at once by an insert
// into the bucket the lookup probed, which saves hashing the key twice.
#ifndef TAVRI_WRITER_HASH_TABLE_H
#define TAVRI_WRITER_HASH_TABLE_H

#include <cstddef>
#include <cstdint>

namespace tavri::writer {

struct Region;
struct traxHashTable;

// True when the element matches the key.
using traxHashCompare = bool (*)(const void *element, const void *key);
// Hash of a key or an element; the table masks it to its bucket count.
using traxHashFunction = uint32_t (*)(const void *key_or_element, const traxHashTable *table);

struct traxHashTable {
    void **buckets;
    uint32_t bucket_count;     // power of 2, at least 4
    uint32_t mask;             // bucket_count - 1
    uint32_t grow_threshold;   // load factor × bucket count
    uint32_t count;            // elements in the table
    size_t link_offset;        // byte offset of the chain link inside an element
    int shift;                 // 28 for 4 buckets, one less per doubling
    traxHashCompare compare;
    traxHashFunction hash;
    uint32_t probe;            // bucket of the last missed lookup + 1; 0 when none
    Region *region;            // where the bucket arrays come from (null: default)
    unsigned flags;            // kept for the table's owner
};

// Sets the table up with the smallest power of 2 (at least 4) not below the
// wanted bucket count (64 when below 1); a load factor below 1 means 3.
// A missing hash or compare function is a fatal assertion. Returns false
// when the bucket array cannot be allocated from a named region.
bool traxHash_Init(traxHashTable *table, int wanted_buckets, int load_factor, size_t link_offset,
                   traxHashCompare compare, traxHashFunction hash, Region *region, unsigned flags);

// The element matching the key, or null. A miss remembers the key's bucket
// for traxHash_InsertAfterProbe; a hit forgets it.
void *traxHash_Lookup(traxHashTable *table, const void *key);

// Inserts the element (which must match the key of the missed lookup) into
// the bucket that lookup probed. Without a remembered probe nothing is
// inserted and false is returned. The probe is used up either way.
bool traxHash_InsertAfterProbe(traxHashTable *table, void *element);

// Inserts the element unless an equal one is present: null when inserted,
// else the element already in the table.
void *traxHash_InsertIfAbsent(traxHashTable *table, void *element);

// Removes the element matching the key and returns it, or null.
void *traxHash_Delete(traxHashTable *table, const void *key);

// Visits every element, bucket by bucket and in chain order within a bucket.
// The element just returned may be deleted; any insertion ends the walk's
// validity (it may grow the table).
struct traxHashWalk {
    const traxHashTable *table;
    uint32_t bucket;   // next bucket to enter
    void *next;        // next element of the current chain
};
void traxHash_WalkBegin(const traxHashTable *table, traxHashWalk *walk);
void *traxHash_WalkNext(traxHashWalk *walk);

// True when every element sits in the bucket its hash gives and the stored
// count matches; mismatches are reported on the warning channel under `name`.
bool traxHash_Check(const traxHashTable *table, const char *name);

// Releases the bucket array (not the elements) and clears the table.
void traxHash_Free(traxHashTable *table);

}  // namespace tavri::writer

#endif
