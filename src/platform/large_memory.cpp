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
#ifdef __linux__
    const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    if (rounded < bytes) throw std::bad_alloc();
    void *at = nullptr;
    if (::posix_memalign(&at, kLargePage, rounded) != 0) throw std::bad_alloc();
    // Only a request: without huge pages the memory works as it is.
    ::madvise(at, rounded, MADV_HUGEPAGE);
    return at;
#elif defined(_WIN32)
    // No large pages here: ordinary memory, without rounding that would
    // waste a 32-bit process's address space.
    void *at = ::_aligned_malloc(bytes, kLargeAlign);
    if (at == nullptr) throw std::bad_alloc();
    return at;
#else
    void *at = nullptr;
    if (::posix_memalign(&at, kLargeAlign, bytes) != 0) throw std::bad_alloc();
    return at;
#endif
}

void FreeLarge(void *at) noexcept {
#ifdef _WIN32
    ::_aligned_free(at);
#else
    std::free(at);
#endif
}

}  // namespace tavri::platform
