// The last value the simulator delivered with a vector's value-change
// callback. While a vector is linked, every change of it comes through its
// callback with the new value, so the last one delivered is its present
// value: the end-of-step read takes it from here instead of asking the
// simulator, which costs about twice as much per read as the delivery. The
// value is kept as the binary text it came as (the cheapest form for the
// simulator to deliver) and converted only when it is read.
//
// Kept by handle: only signals and variables are linked as vectors, and
// their handles last for the whole run. An entry lives while any link on its
// object does; a new entry holds no value until the first callback. A read
// takes the next entry delivered to in the step when it is the one read
// (reads come in the order of the deliveries), else looks its handle up in
// a pointer table.
//
// Delivering pays only when a vector's callbacks fire about once per read.
// One driven bit by bit fires a callback per bit for a single change, and
// the simulator would format the whole value on every one: each entry
// weighs its deliveries against its reads, and once they are clearly more
// than one and a half per read its links are registered again without the
// value and the entry goes, so that their reads ask the simulator; they
// stay so for the rest of the run.
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "sim/pointer_table.h"
#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {

namespace {

// The weights of a delivery and of a read: the excess grows while a vector
// delivers more than one and a half values per read. Past kExcessLimit (a
// dozen deliveries more than that) it stops delivering; the credit a
// vector gathers by changing about once per read is bounded by kExcessFloor
// (eight reads), so that one that starts to fire many callbacks later is
// caught as soon.
constexpr int32_t kDelivered = 2;
constexpr int32_t kRead = 3;
constexpr int32_t kExcessLimit = 12 * kDelivered;
constexpr int32_t kExcessFloor = -8 * kRead;

sim::PointerTable<__vpiHandle, VectorCache> g_caches;

// Entries are made in chunks (created with the first), or beside a link
// (vpi_links.cpp), and a dropped one is reused: every narrow vector of the
// design gets one as it is hooked. Left to the exit, as the object facts
// are (vpi_object_facts.cpp).
std::deque<VectorCache> *g_cache_store = nullptr;
std::vector<VectorCache *> *g_free_caches = nullptr;

VectorCache *NewCache() {
    if (g_free_caches != nullptr && !g_free_caches->empty()) {
        VectorCache *cache = g_free_caches->back();
        g_free_caches->pop_back();
        return cache;
    }
    if (g_cache_store == nullptr) {
        g_cache_store = new std::deque<VectorCache>;
    }
    return &g_cache_store->emplace_back();
}

void Drop(vpiHandle object, VectorCache *cache) {
    g_caches.Remove(object);
    *cache = VectorCache{};
    if (g_free_caches == nullptr) {
        g_free_caches = new std::vector<VectorCache *>;
    }
    g_free_caches->push_back(cache);
}

// Registers the links of `cache` again without the value and drops it;
// false, with all as it was, when the simulator refuses.
[[gnu::noinline]] bool StopDelivering(vpiHandle object, VectorCache *cache) {
    std::vector<Link *> links{cache->link};
    links.insert(links.end(), cache->more.begin(), cache->more.end());
    if (!StopDeliveringValues(links.data(), links.size())) {
        return false;
    }
    Drop(object, cache);
    return true;
}

// The entries delivered to in the present time step, in the order of their
// first delivery in it. The dumper reads its vectors at the end of the step
// in the order their first change came, so a read usually finds its entry
// next here, without looking its handle up, and the entries of the reads to
// come are fetched meanwhile. Emptied when deliveries come at a new time; an
// entry's step number (which wraps) tells whether it is here already.
std::vector<VectorCache *> g_delivered;
size_t g_next_read = 0;
uint64_t g_delivery_time = ~uint64_t{0};
uint16_t g_delivery_step = 0;

// How many entries ahead of the one read are fetched.
constexpr size_t kFetchAhead = 4;

// The entry of `object` when it is the next delivered one, else null.
VectorCache *NextDelivered(vpiHandle object) {
    if (g_next_read >= g_delivered.size() || g_delivered[g_next_read]->object != object) {
        return nullptr;
    }
    VectorCache *cache = g_delivered[g_next_read++];
    if (g_next_read + kFetchAhead < g_delivered.size()) {
        __builtin_prefetch(g_delivered[g_next_read + kFetchAhead]);
    }
    return cache;
}

}  // namespace

bool NeedsRoomForVectorCache(vpiHandle object) {
    return (g_free_caches == nullptr || g_free_caches->empty()) && g_caches.Find(object) == nullptr;
}

VectorCache *AttachVectorCache(vpiHandle object, int width, Link *link, VectorCache *room) {
    if (width < 1 || width > kDeliveredWidthLimit) {
        return nullptr;
    }
    VectorCache *cache = g_caches.Find(object);
    if (cache == nullptr) {
        cache = room != nullptr ? room : NewCache();
        cache->width = static_cast<uint8_t>(width);
        cache->object = object;
        g_caches.Insert(object, cache);
    }
    if (cache->link == nullptr) {
        cache->link = link;
    } else {
        cache->more.push_back(link);
    }
    return cache;
}

void DetachVectorCache(vpiHandle object, Link *link) {
    VectorCache *cache = g_caches.Find(object);
    if (cache == nullptr) {
        return;
    }
    if (cache->link == link) {
        cache->link = nullptr;
        if (!cache->more.empty()) {
            cache->link = cache->more.back();
            cache->more.pop_back();
        }
    } else {
        std::erase(cache->more, link);
    }
    if (cache->link == nullptr) {
        Drop(object, cache);
    }
}

void StoreVector(VectorCache *cache, const s_vpi_value *value, const s_vpi_time *time) {
    const uint64_t now = time != nullptr ? (uint64_t{time->high} << 32) | time->low : 0;
    if (now != g_delivery_time) {
        g_delivery_time = now;
        ++g_delivery_step;
        g_delivered.clear();
        g_next_read = 0;
    }
    if (cache->delivery_step != g_delivery_step) {
        cache->delivery_step = g_delivery_step;
        g_delivered.push_back(cache);
    }
    cache->excess += kDelivered;
    // Anything but text of the object's width leaves the next read to the
    // simulator.
    cache->valid = value != nullptr && value->format == vpiBinStrVal && value->value.str != nullptr &&
                   std::strlen(value->value.str) == cache->width;
    if (cache->valid) {
        std::memcpy(cache->bits, value->value.str, cache->width);
    }
}

const char *CachedVectorBits(vpiHandle object, int *width) {
    VectorCache *cache = NextDelivered(object);
    if (cache == nullptr) {
        cache = g_caches.Find(object);
    }
    if (cache == nullptr) {
        return nullptr;
    }
    // Judged only outside callbacks: a link's callback is not replaced while
    // the simulator runs it.
    cache->excess -= kRead;
    if (cache->excess > kExcessLimit) {
        if (!InValueChange()) {
            if (StopDelivering(object, cache)) {
                return nullptr;
            }
            cache->excess = 0;  // refused: weighed again from here
        }
    } else if (cache->excess < kExcessFloor) {
        cache->excess = kExcessFloor;
    }
    if (!cache->valid) {
        return nullptr;
    }
    *width = cache->width;
    return cache->bits;
}

}  // namespace tavri::vpi
