// Multi-byte fields of a database are in the byte order of the host that
// wrote it. The header's byte-order word (0x01020304 in the writer's order)
// tells how to turn them into this host's order.
#ifndef TAVRI_READER_BYTE_ORDER_H
#define TAVRI_READER_BYTE_ORDER_H

#include <cstdint>
#include <cstring>
#include <optional>

namespace tavri::reader {

enum class ByteOrder {
    kSame,      // word read as 0x01020304
    kReversed,  // read as 0x04030201: every 2-, 4- and 8-byte field reversed
    kHalves,    // read as 0x02010403: bytes swapped inside each 16-bit half;
                // 8-byte fields reversed whole
};

// The order the word announces, or nothing for a word of no known order.
std::optional<ByteOrder> ByteOrderFromWord(uint32_t word_as_read);

// Reads fields of the file's order from unaligned bytes.
class FieldOrder {
  public:
    FieldOrder() = default;
    explicit FieldOrder(ByteOrder order) : order_(order) {}

    ByteOrder order() const { return order_; }
    uint16_t U16(const uint8_t *bytes) const;
    uint32_t U32(const uint8_t *bytes) const;
    uint64_t U64(const uint8_t *bytes) const;
    double F64(const uint8_t *bytes) const;
    // A time tag or statistic kept as two 32-bit words, high word first.
    uint64_t HighLow(const uint8_t *bytes) const;

  private:
    ByteOrder order_ = ByteOrder::kSame;
};

// Read for every element of a walk: kept inline.
inline uint16_t FieldOrder::U16(const uint8_t *bytes) const {
    uint16_t value;
    std::memcpy(&value, bytes, sizeof value);
    if (order_ != ByteOrder::kSame) {
        value = __builtin_bswap16(value);
    }
    return value;
}

inline uint32_t FieldOrder::U32(const uint8_t *bytes) const {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    switch (order_) {
        case ByteOrder::kSame:
            break;
        case ByteOrder::kReversed:
            value = __builtin_bswap32(value);
            break;
        case ByteOrder::kHalves:
            value = ((value & 0x00FF00FFu) << 8) | ((value >> 8) & 0x00FF00FFu);
            break;
    }
    return value;
}

// Writes fields in the file's byte order: the host's bytes turned the way a
// reader of that order turns them back (each turn undoes itself).
class FieldWriter {
  public:
    explicit FieldWriter(ByteOrder order) : order_(order) {}

    void U32(uint8_t *at, uint32_t value) const;
    void U64(uint8_t *at, uint64_t value) const;

  private:
    ByteOrder order_;
};

}  // namespace tavri::reader

#endif
