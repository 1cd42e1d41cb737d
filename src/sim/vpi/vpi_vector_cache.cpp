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
#include <cstring>
#include <string>
#include <unordered_map>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {

struct VectorCache {
    int links = 0;
    bool valid = false;
    std::string bits;  // most significant bit first, as delivered
};

namespace {

std::unordered_map<vpiHandle, VectorCache> g_caches;

}  // namespace

VectorCache *AttachVectorCache(vpiHandle object, int width) {
    if (width < 1) {
        return nullptr;
    }
    VectorCache &cache = g_caches[object];
    if (cache.links++ == 0) {
        cache.valid = false;
        cache.bits.assign(static_cast<size_t>(width), 'x');
    }
    return &cache;
}

void DetachVectorCache(vpiHandle object) {
    auto found = g_caches.find(object);
    if (found != g_caches.end() && --found->second.links <= 0) {
        g_caches.erase(found);
    }
}

void StoreVector(VectorCache *cache, const s_vpi_value *value) {
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
    if (found == g_caches.end() || !found->second.valid) {
        return nullptr;
    }
    *width = static_cast<int>(found->second.bits.size());
    return found->second.bits.data();
}

}  // namespace tavri::vpi
