// Copying a few bytes without a call to memcpy: most values, and the lines
// written for them, are short, and a call costs more than the copy.
#ifndef TAVRI_PLATFORM_SHORT_COPY_H
#define TAVRI_PLATFORM_SHORT_COPY_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tavri::platform {

// Copies `count` bytes, from one to two words' size, as a word at each end
// (the two may overlap).
template <typename Word>
inline void CopyEnds(void *to, const void *from, size_t count) {
    char *const out = static_cast<char *>(to);
    const char *const in = static_cast<const char *>(from);
    Word head, tail;
    std::memcpy(&head, in, sizeof head);
    std::memcpy(&tail, in + count - sizeof tail, sizeof tail);
    std::memcpy(out, &head, sizeof head);
    std::memcpy(out + count - sizeof tail, &tail, sizeof tail);
}

inline void CopyShort(void *to, const void *from, size_t count) {
    struct Piece {
        char bytes[16];
    };
    if (count > 32) {
        std::memcpy(to, from, count);
    } else if (count >= 16) {
        CopyEnds<Piece>(to, from, count);
    } else if (count >= 8) {
        CopyEnds<uint64_t>(to, from, count);
    } else if (count >= 4) {
        CopyEnds<uint32_t>(to, from, count);
    } else {
        for (size_t i = 0; i < count; ++i) {
            static_cast<char *>(to)[i] = static_cast<const char *>(from)[i];
        }
    }
}

}  // namespace tavri::platform

#endif
