// Conversion of values stored in another host's byte order. A byte-order
// tag is the 32-bit value 0x01020304 as that host wrote it, read back here.
#ifndef TAVRI_WRITER_BYTE_ORDER_H
#define TAVRI_WRITER_BYTE_ORDER_H

#include <cstddef>
#include <cstdint>

namespace tavri::writer {

constexpr uint32_t kByteOrderNative = 0x01020304;      // nothing to do
constexpr uint32_t kByteOrderHalvesSwapped = 0x02010403;  // bytes swapped within each 16-bit half
constexpr uint32_t kByteOrderReversed = 0x04030201;    // all bytes reversed

// Convert one value in place (2, 4, 4 and 8 bytes at `value`, any
// alignment) from the tagged order. With the halves-swapped tag a 2-byte
// value swaps its bytes, a 4-byte value swaps within each half and an 8-byte
// value is reversed whole. An unknown tag leaves the value and is reported on
// the warning channel.
void ByteSwap_Short(uint32_t order, void *value);
void ByteSwap_Int(uint32_t order, void *value);
void ByteSwap_Float(uint32_t order, void *value);
void ByteSwap_Double(uint32_t order, void *value);

// Reverses the `length` bytes at `bytes` for any tag but the native one.
// A length other than 2, 4 or 8 is a fatal assertion.
void ByteSwap(uint32_t order, void *bytes, size_t length);

}  // namespace tavri::writer

#endif
