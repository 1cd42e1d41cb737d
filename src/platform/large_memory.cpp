#include "platform/large_memory.h"

#include <cstdlib>

#ifdef _WIN32
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tavri::platform {

void *AllocateLarge(size_t bytes) {
    const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    if (rounded < bytes) throw std::bad_alloc();
#ifdef _WIN32
    void *at = ::_aligned_malloc(rounded, kLargePage);
    if (at == nullptr) throw std::bad_alloc();
#else
    void *at = nullptr;
    if (::posix_memalign(&at, kLargePage, rounded) != 0) throw std::bad_alloc();
#endif
#ifdef __linux__
    // Only a request: without huge pages the memory works as it is.
    ::madvise(at, rounded, MADV_HUGEPAGE);
#endif
    return at;
}

void FreeLarge(void *at) noexcept {
#ifdef _WIN32
    ::_aligned_free(at);
#else
    std::free(at);
#endif
}

}  // namespace tavri::platform
