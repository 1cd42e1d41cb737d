#include "reader/byte_order.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tavri::reader {

std::optional<ByteOrder> ByteOrderFromWord(uint32_t word_as_read) {
    switch (word_as_read) {
        case 0x01020304u:
            return ByteOrder::kSame;
        case 0x04030201u:
            return ByteOrder::kReversed;
        case 0x02010403u:
            return ByteOrder::kHalves;
        default:
            return std::nullopt;
    }
}

uint64_t FieldOrder::U64(const uint8_t *bytes) const {
    uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    if (order_ != ByteOrder::kSame) {
        value = __builtin_bswap64(value);
    }
    return value;
}

double FieldOrder::F64(const uint8_t *bytes) const {
    const uint64_t bits = U64(bytes);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint64_t FieldOrder::HighLow(const uint8_t *bytes) const {
    return (static_cast<uint64_t>(U32(bytes)) << 32) | U32(bytes + 4);
}

void FieldWriter::U32(uint8_t *at, uint32_t value) const {
    std::memcpy(at, &value, 4);
    if (order_ == ByteOrder::kReversed) {
        std::reverse(at, at + 4);
    } else if (order_ == ByteOrder::kHalves) {
        std::swap(at[0], at[1]);
        std::swap(at[2], at[3]);
    }
}

void FieldWriter::U64(uint8_t *at, uint64_t value) const {
    std::memcpy(at, &value, 8);
    if (order_ != ByteOrder::kSame) std::reverse(at, at + 8);
}

}  // namespace tavri::reader
