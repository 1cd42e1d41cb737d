#include "writer/perm_string.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "writer/hash_table.h"
#include "writer/region.h"

namespace tavri::writer {
namespace {

// An entry is the chain link followed by the characters and a zero byte;
// a lookup key has the same shape.
constexpr size_t kLinkSize = sizeof(void *);
constexpr size_t kFirstBuckets = 1024;
constexpr size_t kChunkSize = 16384;
// The front of every chunk links it to the chunk before.
constexpr size_t kChunkHeader = 8;

const char kEmptyString[1] = "";

const char *TextOf(const void *entry) { return static_cast<const char *>(entry) + kLinkSize; }

bool SameText(const void *element, const void *key) { return std::strcmp(TextOf(element), TextOf(key)) == 0; }

uint32_t HashText(const void *key_or_element, const traxHashTable * /*table*/) {
    // FNV-1a
    uint32_t hash = 2166136261u;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(TextOf(key_or_element)); *c != 0; ++c) {
        hash = (hash ^ *c) * 16777619u;
    }
    return hash;
}

// Longest text taken; far beyond anything a design holds, it keeps the
// size arithmetic below from overflowing.
constexpr size_t kLongestText = SIZE_MAX / 8;

struct Store {
    std::mutex lock;
    Region *region = nullptr;
    traxHashTable table{};
    char *chunk = nullptr;   // current storage chunk
    char *cursor = nullptr;  // its first free byte
    size_t left = 0;         // free bytes from the cursor to its end
};

Store &State() {
    static Store store;
    return store;
}

void Open(Store &store) {
    store.region = RegionOpen("makepermstring");
    if (store.region == nullptr ||
        !traxHash_Init(&store.table, static_cast<int>(kFirstBuckets), 0, 0, SameText, HashText,
                       store.region, 0)) {
        RegionOutOfMemory();
    }
}

// Room for one entry of `size` bytes (a multiple of 4); when the rest of
// the current chunk is too small it stays unused and a new chunk, large
// enough for the entry, is taken.
char *Carve(Store &store, size_t size) {
    if (store.left < size) {
        size_t chunk_size = kChunkSize;
        while (chunk_size - kChunkHeader < size) {
            chunk_size *= 2;
        }
        char *chunk = static_cast<char *>(RegionMalloc(store.region, chunk_size, __FILE__, __LINE__));
        if (chunk == nullptr) {
            RegionOutOfMemory();
        }
        std::memcpy(chunk, &store.chunk, sizeof store.chunk);
        store.chunk = chunk;
        store.cursor = chunk + kChunkHeader;
        store.left = chunk_size - kChunkHeader;
    }
    char *entry = store.cursor;
    store.cursor += size;
    store.left -= size;
    return entry;
}

const char *Intern(std::string_view text) {
    if (text.empty()) {
        return kEmptyString;
    }
    if (text.size() > kLongestText) {
        RegionOutOfMemory();
    }
    std::string key(kLinkSize, '\0');
    key.append(text);
    Store &store = State();
    std::lock_guard<std::mutex> hold(store.lock);
    if (store.region == nullptr) {
        Open(store);
    }
    if (const void *found = traxHash_Lookup(&store.table, key.data()); found != nullptr) {
        return TextOf(found);
    }
    const size_t size = (kLinkSize + text.size() + 1 + 3) & ~static_cast<size_t>(3);
    char *entry = Carve(store, size);
    std::memcpy(entry, key.c_str(), key.size() + 1);
    traxHash_InsertAfterProbe(&store.table, entry);
    return TextOf(entry);
}

}  // namespace

const char *MakePermString(const char *text) {
    return text != nullptr ? Intern(text) : nullptr;
}

const char *MakePermStringPart(const char *begin, const char *end) {
    if (begin == nullptr || end < begin) {
        return nullptr;
    }
    // The copy ends at a zero byte inside the part, as the text would.
    return Intern(std::string_view(begin, ::strnlen(begin, static_cast<size_t>(end - begin))));
}

}  // namespace tavri::writer
