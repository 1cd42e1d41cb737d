#include "writer/region.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/environment.h"
#include "writer/messages.h"

namespace tavri::writer {
namespace {

constexpr uint32_t kLiveBlock = 0x52474e42;  // "RGNB"
constexpr unsigned char kGuardByte = 0xa5;
constexpr size_t kGuardSize = 16;

// Sits in front of every block of a region; its size keeps the caller's part
// 16-byte aligned.
struct alignas(16) BlockHeader {
    BlockHeader *prev;
    BlockHeader *next;
    Region *region;
    size_t size;
    const char *source;
    int line;
    uint32_t magic;
};

struct ProcessMode {
    bool heap_direct = false;
};

ProcessMode ReadProcessMode() {
    if (std::getenv("SPS_USE_MALLOC") != nullptr) {
        platform::SetEnv("PURIFY_POOL_ARENA", "1");
        platform::SetEnv("PURIFY_POOL_ARENA_SILENCE", "1");
    }
    ProcessMode mode;
    mode.heap_direct =
        std::getenv("PURIFY_POOL_ARENA") != nullptr && std::getenv("DISABLE_POOL_ARENA") == nullptr;
    return mode;
}

const ProcessMode &Mode() {
    static const ProcessMode mode = ReadProcessMode();
    return mode;
}

bool CheckingRequested() {
    const char *method = std::getenv("VM_METHOD");
    return method != nullptr && (std::strcmp(method, "VMDEBUG") == 0 || std::strcmp(method, "vmdebug") == 0);
}

}  // namespace

struct Region {
    char *name = nullptr;
    bool checking = false;
    size_t bytes_in_use = 0;
    BlockHeader list{};  // circular list sentinel
    std::mutex lock;
};

namespace {

Region *CreateRegion(const char *name) {
    Region *region = new (std::nothrow) Region;
    if (region == nullptr) {
        return nullptr;
    }
    const size_t length = std::strlen(name);
    region->name = static_cast<char *>(std::malloc(length + 1));
    if (region->name == nullptr) {
        delete region;
        return nullptr;
    }
    std::memcpy(region->name, name, length + 1);
    region->checking = CheckingRequested();
    region->list.prev = &region->list;
    region->list.next = &region->list;
    return region;
}

Region *Resolve(Region *region) { return region != nullptr ? region : RegionDefault(); }

BlockHeader *HeaderOf(void *block) { return static_cast<BlockHeader *>(block) - 1; }

void *PayloadOf(BlockHeader *header) { return header + 1; }

size_t GuardSize(const Region *region) { return region->checking ? kGuardSize : 0; }

// Total heap bytes for a caller's size, or 0 when it does not fit.
size_t TotalSize(const Region *region, size_t size) {
    const size_t extra = sizeof(BlockHeader) + GuardSize(region);
    if (size > SIZE_MAX - extra) {
        return 0;
    }
    return size + extra;
}

void Link(Region *region, BlockHeader *header) {
    header->prev = region->list.prev;
    header->next = &region->list;
    region->list.prev->next = header;
    region->list.prev = header;
}

void Unlink(BlockHeader *header) {
    header->prev->next = header->next;
    header->next->prev = header->prev;
}

void WriteGuard(const Region *region, BlockHeader *header) {
    if (region->checking) {
        std::memset(static_cast<unsigned char *>(PayloadOf(header)) + header->size, kGuardByte, kGuardSize);
    }
}

void CheckGuard(const Region *region, BlockHeader *header) {
    if (!region->checking) {
        return;
    }
    const unsigned char *guard = static_cast<const unsigned char *>(PayloadOf(header)) + header->size;
    for (size_t i = 0; i < kGuardSize; ++i) {
        if (guard[i] != kGuardByte) {
            Warn("bad byte at 0x%lx (%zu bytes past the end of the block from %s:%d)\n",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(guard + i)), i,
                 header->source != nullptr ? header->source : "?", header->line);
            return;
        }
    }
}

// A block handed to resize or free must be a live block of this region.
void CheckOwner(const Region *region, const BlockHeader *header) {
    TXW_ASSERT(header->magic == kLiveBlock && header->region == region, "alloc");
}

void *Fatal(const Region *region) {
    if (region != nullptr && region != RegionDefault()) {
        return nullptr;
    }
    RegionOutOfMemory();
}

void *Allocate(Region *region, size_t size, bool zeroed, bool fatal, const char *source, int line) {
    if (Mode().heap_direct) {
        void *block = zeroed ? std::calloc(1, size != 0 ? size : 1) : std::malloc(size != 0 ? size : 1);
        if (block == nullptr && fatal) {
            return Fatal(region);
        }
        return block;
    }
    const size_t total = TotalSize(region, size);
    auto *header = static_cast<BlockHeader *>(total != 0 ? std::malloc(total) : nullptr);
    if (header == nullptr) {
        return fatal ? Fatal(region) : nullptr;
    }
    header->region = region;
    header->size = size;
    header->source = source;
    header->line = line;
    header->magic = kLiveBlock;
    if (zeroed) {
        std::memset(PayloadOf(header), 0, size);
    }
    WriteGuard(region, header);
    std::lock_guard<std::mutex> hold(region->lock);
    Link(region, header);
    region->bytes_in_use += size;
    return PayloadOf(header);
}

void *CallocIn(Region *region, size_t count, size_t size, bool fatal, const char *source, int line) {
    size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes)) {
        return fatal ? Fatal(region) : nullptr;
    }
    return Allocate(region, bytes, true, fatal, source, line);
}

}  // namespace

void RegionInit() { (void)Mode(); }

bool RegionUsesHeapDirectly() { return Mode().heap_direct; }

Region *RegionDefault() {
    static Region *const region = [] {
        Region *created = CreateRegion("default");
        if (created == nullptr) {
            RegionOutOfMemory();
        }
        return created;
    }();
    return region;
}

Region *RegionOpen(const char *name) {
    RegionInit();
    return CreateRegion(name != nullptr ? name : "");
}

void RegionClose(Region *region) {
    if (region == nullptr || region == RegionDefault()) {
        return;
    }
    BlockHeader *header = region->list.next;
    while (header != &region->list) {
        BlockHeader *next = header->next;
        CheckGuard(region, header);
        header->magic = 0;
        std::free(header);
        header = next;
    }
    std::free(region->name);
    delete region;
}

const char *RegionName(const Region *region) {
    return region != nullptr ? region->name : RegionDefault()->name;
}

size_t RegionBytesInUse(const Region *region) {
    Region *resolved = Resolve(const_cast<Region *>(region));
    std::lock_guard<std::mutex> hold(resolved->lock);
    return resolved->bytes_in_use;
}

void *RegionCalloc(Region *region, size_t count, size_t size, const char *source, int line) {
    return CallocIn(Resolve(region), count, size, true, source, line);
}

void *RegionTryCalloc(Region *region, size_t count, size_t size, const char *source, int line) {
    return CallocIn(Resolve(region), count, size, false, source, line);
}

void *RegionMalloc(Region *region, size_t size, const char *source, int line) {
    return Allocate(Resolve(region), size, false, true, source, line);
}

void *RegionTryMalloc(Region *region, size_t size, const char *source, int line) {
    return Allocate(Resolve(region), size, false, false, source, line);
}

void *RegionRealloc(Region *region, void *block, size_t size, const char *source, int line) {
    region = Resolve(region);
    if (block == nullptr) {
        return Allocate(region, size, false, true, source, line);
    }
    if (Mode().heap_direct) {
        void *moved = std::realloc(block, size != 0 ? size : 1);
        return moved != nullptr ? moved : Fatal(region);
    }
    BlockHeader *header = HeaderOf(block);
    CheckOwner(region, header);
    CheckGuard(region, header);
    const size_t total = TotalSize(region, size);
    if (total == 0) {
        return Fatal(region);
    }
    std::unique_lock<std::mutex> hold(region->lock);
    const size_t old_size = header->size;
    Unlink(header);
    auto *moved = static_cast<BlockHeader *>(std::realloc(header, total));
    if (moved == nullptr) {
        Link(region, header);
        hold.unlock();
        return Fatal(region);
    }
    Link(region, moved);
    region->bytes_in_use = region->bytes_in_use - old_size + size;
    moved->size = size;
    moved->source = source;
    moved->line = line;
    WriteGuard(region, moved);
    return PayloadOf(moved);
}

void RegionFree(Region *region, void *block, const char * /*source*/, int /*line*/) {
    if (block == nullptr) {
        return;
    }
    if (Mode().heap_direct) {
        std::free(block);
        return;
    }
    region = Resolve(region);
    BlockHeader *header = HeaderOf(block);
    CheckOwner(region, header);
    CheckGuard(region, header);
    {
        std::lock_guard<std::mutex> hold(region->lock);
        Unlink(header);
        region->bytes_in_use -= header->size;
    }
    header->magic = 0;
    std::free(header);
}

void RegionOutOfMemory() {
    Inform("... Insufficient memory ...\n");
    Fail("... Insufficient memory ...\n");
}

}  // namespace tavri::writer
