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
// object does; a new entry holds no value until the first callback.
//
// Delivering pays only when a vector's callbacks fire about once per read.
// One driven bit by bit fires a callback per bit for a single change, and
// the simulator would format the whole value on every one: each entry
// counts its deliveries and reads, and over every few reads judges whether
// its links should go on delivering. Those that should not are registered
// again without the value and the entry goes, so that their reads ask the
// simulator; they stay so for the rest of the run.
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {

struct VectorCache {
    std::vector<Link *> links;  // the links on the object that deliver
    bool valid = false;
    uint32_t deliveries = 0;    // callbacks since the last judgement
    uint32_t reads = 0;         // reads since the last judgement
    std::string bits;           // most significant bit first, as delivered
};

namespace {

// Reads over which a vector's deliveries are judged, and the deliveries per
// read past which it stops delivering (a vector that changes at most once
// per read delivers once; one driven bit by bit, many times).
constexpr uint32_t kJudgedReads = 8;
constexpr uint32_t kDemotingDeliveries = kJudgedReads * 3 / 2;

std::unordered_map<vpiHandle, VectorCache> g_caches;

}  // namespace

VectorCache *AttachVectorCache(vpiHandle object, int width, Link *link) {
    if (width < 1) {
        return nullptr;
    }
    VectorCache &cache = g_caches[object];
    if (cache.links.empty()) {
        cache.valid = false;
        cache.deliveries = cache.reads = 0;
        cache.bits.assign(static_cast<size_t>(width), 'x');
    }
    cache.links.push_back(link);
    return &cache;
}

void DetachVectorCache(vpiHandle object, Link *link) {
    auto found = g_caches.find(object);
    if (found == g_caches.end()) {
        return;
    }
    std::vector<Link *> &links = found->second.links;
    std::erase(links, link);
    if (links.empty()) {
        g_caches.erase(found);
    }
}

void StoreVector(VectorCache *cache, const s_vpi_value *value) {
    ++cache->deliveries;
    // Anything but text of the object's width leaves the next read to the
    // simulator.
    cache->valid = value != nullptr && value->format == vpiBinStrVal && value->value.str != nullptr &&
                   std::strlen(value->value.str) == cache->bits.size();
    if (cache->valid) {
        std::memcpy(cache->bits.data(), value->value.str, cache->bits.size());
    }
}

const char *CachedVectorBits(vpiHandle object, int *width) {
    auto found = g_caches.find(object);
    if (found == g_caches.end()) {
        return nullptr;
    }
    VectorCache &cache = found->second;
    // Judged over every kJudgedReads reads, or as soon as the deliveries
    // are past what that many reads could justify; but only outside
    // callbacks: a link's callback is not replaced while the simulator runs
    // it.
    if (++cache.reads >= kJudgedReads || cache.deliveries > kDemotingDeliveries) {
        if (cache.deliveries <= kDemotingDeliveries) {
            cache.deliveries = cache.reads = 0;
        } else if (!InValueChange()) {
            cache.deliveries = cache.reads = 0;
            if (StopDeliveringValues(cache.links.data(), cache.links.size())) {
                g_caches.erase(found);
                return nullptr;
            }
        }
    }
    if (!cache.valid) {
        return nullptr;
    }
    *width = static_cast<int>(cache.bits.size());
    return cache.bits.data();
}

}  // namespace tavri::vpi
