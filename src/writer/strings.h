// String values: every distinct text of a file is interned once and given a
// sequential id (0, 1, 2, ... in creation order); a string variable's value
// change records the 4-byte id. The session flush appends the texts created
// since the previous flush to the ".str" file, each with its zero byte.
#ifndef TAVRI_WRITER_STRINGS_H
#define TAVRI_WRITER_STRINGS_H

#include <cstdint>

#include "writer/hash_table.h"

struct txwObject;

namespace tavri::writer {

struct Region;
struct traxFixPool;

struct StringRecord {
    StringRecord *link;      // hash bucket chain
    StringRecord *next_new;  // creation order, until the next flush
    char *text;
    uint32_t id;
};

struct StringTable {
    traxFixPool *pool = nullptr;
    Region *region = nullptr;
    traxHashTable table{};
    StringRecord *new_head = nullptr;
    StringRecord *new_tail = nullptr;
};

uint32_t HashString(const char *text);

// Appends the strings created since the last flush to ".str" and updates the
// header's string list size and count. 0, or 26 when the file cannot be made.
int AppendNewStrings(txwObject *obj);

void DestroyStrings(txwObject *obj);

}  // namespace tavri::writer

#endif
