#include "writer/byte_order.h"

#include <algorithm>

#include "writer/messages.h"

namespace tavri::writer {
namespace {

void Reverse(void *value, size_t length) {
    auto *bytes = static_cast<unsigned char *>(value);
    std::reverse(bytes, bytes + length);
}

void SwapWithinHalves(void *value, size_t length) {
    auto *bytes = static_cast<unsigned char *>(value);
    for (size_t i = 0; i + 1 < length; i += 2) {
        std::swap(bytes[i], bytes[i + 1]);
    }
}

// With `halves_reverse_whole` the halves-swapped order reverses the value
// whole (8-byte values) instead of swapping within each half; `caller` names
// the conversion in the warning for an unknown tag.
void Convert(uint32_t order, void *value, size_t length, bool halves_reverse_whole, const char *caller) {
    switch (order) {
        case kByteOrderNative:
            return;
        case kByteOrderHalvesSwapped:
            if (halves_reverse_whole) {
                Reverse(value, length);
            } else {
                SwapWithinHalves(value, length);
            }
            return;
        case kByteOrderReversed:
            Reverse(value, length);
            return;
        default:
            Warn("%s(): unknown byte order", caller);
            return;
    }
}

}  // namespace

void ByteSwap_Short(uint32_t order, void *value) { Convert(order, value, 2, false, "ByteSwap_Short"); }

void ByteSwap_Int(uint32_t order, void *value) { Convert(order, value, 4, false, "ByteSwap_Int"); }

void ByteSwap_Float(uint32_t order, void *value) { Convert(order, value, 4, false, "ByteSwap_Float"); }

void ByteSwap_Double(uint32_t order, void *value) { Convert(order, value, 8, true, "ByteSwap_Double"); }

void ByteSwap(uint32_t order, void *bytes, size_t length) {
    TXW_ASSERT(length == 2 || length == 4 || length == 8, "byteswap");
    if (order != kByteOrderNative) {
        Reverse(bytes, length);
    }
}

}  // namespace tavri::writer
