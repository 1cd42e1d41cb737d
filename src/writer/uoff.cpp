#include "writer/uoff.h"

#include <cstdio>
#include <cstring>

#include "writer/messages.h"

namespace tavri::writer {
namespace {

constexpr const char *kSource = "xxxoff";

// ---- pointer length 4: offsets are 32-bit, the high word must stay 0 ----

void CheckHighWord(Uoff value) { TXW_ASSERT((value >> 32) == 0, kSource); }

Uoff NextBlock4(Uoff position) {
    CheckHighWord(position);
    const Uoff next = position + kBlockSpan;
    CheckHighWord(next);
    return next;
}

Uoff Difference4(Uoff later, Uoff earlier) {
    CheckHighWord(later);
    CheckHighWord(earlier);
    return static_cast<uint32_t>(later - earlier);
}

Uoff Tell(platform::FileHandle file) {
    const int64_t position = platform::Tell(file);
    return position < 0 ? 0 : static_cast<Uoff>(position);
}

Uoff Tell4(platform::FileHandle file) {
    const Uoff position = Tell(file);
    CheckHighWord(position);
    return position;
}

int Seek(platform::FileHandle file, Uoff position) {
    return platform::Seek(file, static_cast<int64_t>(position)) < 0 ? -1 : 0;
}

int Seek4(platform::FileHandle file, Uoff position) {
    CheckHighWord(position);
    return Seek(file, position);
}

Uoff Add4(Uoff a, Uoff b) {
    CheckHighWord(a);
    CheckHighWord(b);
    const Uoff sum = a + b;
    CheckHighWord(sum);
    return sum;
}

Uoff Subtract4(Uoff a, Uoff b) {
    CheckHighWord(a);
    CheckHighWord(b);
    return static_cast<uint32_t>(a - b);
}

int Compare(Uoff a, Uoff b) {
    const auto left = static_cast<int64_t>(a);
    const auto right = static_cast<int64_t>(b);
    return left < right ? -1 : (left > right ? 1 : 0);
}

int Compare4(Uoff a, Uoff b) {
    CheckHighWord(a);
    CheckHighWord(b);
    return Compare(a, b);
}

Uoff FromCount(uint32_t count) { return count; }

void Format4(Uoff position, char text[48]) {
    std::snprintf(text, 48, "(%d %d)", static_cast<int>(position >> 32),
                  static_cast<int>(static_cast<uint32_t>(position)));
}

// ---- pointer length 8 ----

Uoff NextBlock8(Uoff position) { return position + kBlockSpan; }
Uoff Difference8(Uoff later, Uoff earlier) { return later - earlier; }
Uoff Add8(Uoff a, Uoff b) { return a + b; }
Uoff Subtract8(Uoff a, Uoff b) { return a - b; }

void Format8(Uoff position, char text[48]) {
    std::snprintf(text, 48, "(0 %ld)", static_cast<long>(position));
}

// With pointer length 4 both byte orders keep the offset as a native 64-bit
// integer, so the operations are the same; the table is chosen per order so
// that a byte order the writer does not know stops at once.
constexpr OffsetOps kOps4 = {NextBlock4, Difference4, Tell4,      Seek4,  Add4,
                             Subtract4,  Compare4,    FromCount, Format4};
constexpr OffsetOps kOps8 = {NextBlock8, Difference8, Tell,      Seek,   Add8,
                             Subtract8,  Compare,     FromCount, Format8};

}  // namespace

void EncodeBlkLayout(const BlkLayout &layout, uint8_t out[kBlkLayoutSize]) {
    std::memcpy(out, &layout.offset, 8);
    std::memcpy(out + 8, &layout.stored_length, 4);
}

BlkLayout DecodeBlkLayout(const uint8_t in[kBlkLayoutSize]) {
    BlkLayout layout;
    std::memcpy(&layout.offset, in, 8);
    std::memcpy(&layout.stored_length, in + 8, 4);
    return layout;
}

const OffsetOps *SelectOffsetOps(uint8_t pointer_length, uint8_t endian_type) {
    if (pointer_length == 4 && (endian_type == 1 || endian_type == 2)) {
        return &kOps4;
    }
    if (pointer_length == 8) {
        return &kOps8;
    }
    AssertionFailed(kSource, __LINE__);
}

}  // namespace tavri::writer
