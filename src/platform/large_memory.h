// Memory for large arrays read in scattered order, such as the records of a
// walk over many variables: on Linux in 2 MB pages where the kernel grants
// them (transparent huge pages on request), so that touching a few bytes in
// each of many 4 KB pages does not miss the address translation cache each
// time. Elsewhere, and below kLargeFrom, ordinary memory.
#ifndef TAVRI_PLATFORM_LARGE_MEMORY_H
#define TAVRI_PLATFORM_LARGE_MEMORY_H

#include <cstddef>
#include <cstdint>
#include <new>

namespace tavri::platform {

constexpr size_t kLargePage = size_t{2} << 20;
// Arrays from this size on take whole large pages: a quarter of the last
// one may go unused.
constexpr size_t kLargeFrom = kLargePage / 4;
// Alignment of large arrays where there are no large pages.
constexpr size_t kLargeAlign = 64;

// On Linux `bytes` rounded up to whole large pages, aligned to kLargePage;
// elsewhere `bytes` aligned to kLargeAlign. Throws
// std::bad_alloc when there is no memory. Freed with FreeLarge.
void *AllocateLarge(size_t bytes);
void FreeLarge(void *at) noexcept;

// A standard allocator that takes arrays of kLargeFrom bytes and more from
// AllocateLarge.
template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U> &) noexcept {}
    T *allocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        static_assert(alignof(T) <= kLargeAlign);
        const size_t bytes = count * sizeof(T);
        if (bytes >= kLargeFrom) return static_cast<T *>(AllocateLarge(bytes));
        return static_cast<T *>(::operator new(bytes, std::align_val_t(alignof(T))));
    }
    void deallocate(T *at, size_t count) noexcept {
        if (count * sizeof(T) >= kLargeFrom) {
            FreeLarge(at);
        } else {
            ::operator delete(at, std::align_val_t(alignof(T)));
        }
    }
    template <typename U>
    bool operator==(const LargeAllocator<U> &) const noexcept {
        return true;
    }
};

}  // namespace tavri::platform

#endif
