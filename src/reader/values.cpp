#include "reader/values.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "platform/short_copy.h"

namespace tavri::reader {

void ResizeValueBytes(ValueBytes &bytes, size_t size) { bytes.resize(size); }
namespace {

constexpr uint8_t kNextGroup = 0xC0;
constexpr uint8_t kEndArray = 0xC1;
constexpr uint8_t kScalar = 0;
constexpr uint8_t kNormalBus = 4;
constexpr uint8_t kABBus = 5;
constexpr uint8_t kVhdlBus = 6;
constexpr uint8_t kCDBus = 10;
constexpr uint8_t kABMemory = 11;
constexpr uint8_t kCompactBit = 0x08;
constexpr uint32_t kValueSizeLimit = 0x8000000;

// True when every per-bit code is a logic level (below 4); reads eight at
// a time where it can.
[[gnu::always_inline]] inline bool AllLogicCodes(const uint8_t *codes, size_t count) {
    uint64_t seen = 0;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, codes + i, sizeof eight);
        seen |= eight;
    }
    if (i + 4 <= count) {
        // The last four to seven codes, as two four-byte pieces that may
        // overlap.
        uint32_t head, tail;
        std::memcpy(&head, codes + i, sizeof head);
        std::memcpy(&tail, codes + count - 4, sizeof tail);
        seen |= head | tail;
    } else {
        for (; i < count; ++i) seen |= codes[i];
    }
    return (seen & 0xFCFCFCFCFCFCFCFCu) == 0;
}

Status ReadGroupHeader(Cursor *cursor, uint8_t format, const ArrayContext &context, Group *group) {
    group->format = format;
    if (format == kScalar) {
        if (context.var != nullptr && context.var->value_size() != 1) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "variable %s (%llu value bytes) has a scalar element group",
                        context.var->name.c_str(),
                        static_cast<unsigned long long>(context.var->value_size()));
        }
        return Status();
    }
    switch (format) {
        case kNormalBus:
        case kABBus:
        case kVhdlBus:
        case kCDBus:
        case kABMemory:
            break;
        case 7:
        case 9:
        case 12:
        case 13:
            return Fail(TRAXR_ERR_UNSUPPORTED, "element groups of format byte %u are not decoded",
                        format);
        default:
            return Fail(TRAXR_ERR_CORRUPT, "element group at 0x%llx has the format byte %u",
                        static_cast<unsigned long long>(cursor->position()), format);
    }
    TAVRI_RETURN_IF_ERROR(cursor->Byte(&group->bytes_per_bit));
    TAVRI_RETURN_IF_ERROR(cursor->U32(&group->value_size));
    if (group->bytes_per_bit > 3 || group->value_size == 0 || group->value_size > kValueSizeLimit) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "element group header (bytes-per-bit code %u, value size %u) is impossible",
                    group->bytes_per_bit, group->value_size);
    }
    if (context.var != nullptr && (group->bytes_per_bit != context.var->bytes_per_bit ||
                                   group->value_size != context.var->value_size())) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "element group header (bytes-per-bit code %u, value size %u) contradicts "
                    "variable %s (code %u, %llu value bytes)",
                    group->bytes_per_bit, group->value_size, context.var->name.c_str(),
                    context.var->bytes_per_bit,
                    static_cast<unsigned long long>(context.var->value_size()));
    }
    const uint64_t size = group->value_size;
    const uint64_t pairs = ((size - 1) >> 5) + 1;
    switch (format) {
        case kNormalBus:
            group->full_length = size;
            break;
        case kVhdlBus:
            group->full_length = (size - 1) / 2 + 1;
            break;
        case kABBus:
        case kCDBus:
            group->full_length = pairs * 8;
            group->compact_length = pairs * 4;
            break;
        default:  // A/B memory
            group->full_length = ((size + 7) >> 3) * 2;
            group->compact_length = group->full_length / 2;
            break;
    }
    return Status();
}

// Per byte of a word: its eight bits as 0/1 bytes, bit 7 first in memory,
// so that they land in a most-significant-first value with one 8-byte copy.
constexpr std::array<uint64_t, 256> MakeSpread() {
    std::array<uint64_t, 256> spread{};
    for (unsigned value = 0; value < 256; ++value) {
        for (unsigned k = 0; k < 8; ++k) {
            const unsigned shift = std::endian::native == std::endian::little ? 8 * k : 8 * (7 - k);
            spread[value] |= static_cast<uint64_t>((value >> (7 - k)) & 1) << shift;
        }
    }
    return spread;
}
constexpr std::array<uint64_t, 256> kSpread = MakeSpread();

// The value codes of eight bits, bit 7 first, from the bit that alone gives
// 1 and the one that turns 0 into 3 (Z) and 1 into 2 (X): A and B of an
// A/B pair, D and C of a C/D pair. Each byte of a spread is 0 or 1, so the
// arithmetic stays inside its byte.
inline uint64_t PairCodes(unsigned one, unsigned other) {
    const uint64_t high = kSpread[other];
    return kSpread[one] ^ (high | (high << 1));
}

// Writes the codes of bits [8 * index, 8 * index + 8) of a value of `width`
// bits, most significant first, to `codes`; bits at or above the width are
// left out.
inline void PutCodes(uint64_t eight, uint32_t index, uint32_t width, uint8_t *codes) {
    const uint32_t low = 8 * index;
    if (low + 8 <= width) {
        std::memcpy(codes + (width - low - 8), &eight, sizeof eight);
        return;
    }
    // The top byte of the value, of `left` bits: their codes are the last
    // `left` of the eight and go to the start of the value.
    const uint32_t left = width - low;
    eight = std::endian::native == std::endian::little ? eight >> (8 * (8 - left))
                                                       : eight << (8 * (8 - left));
    uint8_t spread[8];
    std::memcpy(spread, &eight, sizeof spread);
    if (left >= 4) {
        std::memcpy(codes, spread, 4);
        std::memcpy(codes + left - 4, spread + left - 4, 4);
    } else {
        codes[0] = spread[0];
        if (left > 1) codes[1] = spread[1];
        if (left > 2) codes[2] = spread[2];
    }
}

// Two 32-bit words per 32 bits; `compact` keeps only word `kept` (0 or 1).
Status DecodePairs(const Group &group, const FieldOrder &order, const uint8_t *raw,
                   bool compact, unsigned kept, Change *change) {
    const uint32_t width = group.value_size;
    const uint32_t pairs = ((width - 1) >> 5) + 1;
    // A/B: A gives 1 alone; C/D: D does.
    const unsigned one = group.format == kABBus ? 0 : 1;
    change->bits.resize(width);
    uint8_t *codes = change->bits.data();
    for (uint32_t p = 0; p < pairs; ++p) {
        uint32_t words[2] = {0, 0};
        if (compact) {
            words[kept] = order.U32(raw + 4 * p);
        } else {
            words[0] = order.U32(raw + 8 * p);
            words[1] = order.U32(raw + 8 * p + 4);
        }
        const uint32_t used = p + 1 < pairs ? 32 : width - 32 * p;
        if (used < 32 && ((words[0] | words[1]) >> used) != 0) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "a value of width %u has bits set above its width (0x%08x 0x%08x)", width,
                        words[0], words[1]);
        }
        uint32_t ones = words[one], others = words[1 - one];
        for (uint32_t k = 0; 8 * k < used; ++k, ones >>= 8, others >>= 8) {
            PutCodes(PairCodes(ones & 0xFF, others & 0xFF), 4 * p + k, width, codes);
        }
    }
    change->kind = TRAXR_VALUE_LOGIC;
    return Status();
}

// A value of at most 32 bits, one word pair, inline: the common narrow bus,
// where the general loop's set-up costs more than the codes. False when the
// value has bits set above its width (DecodePairs then reports it).
[[gnu::always_inline]] inline bool DecodeOnePair(uint32_t width, const FieldOrder &order, const uint8_t *raw,
                          bool compact, bool ab, Change *change) {
    uint32_t ones, others;
    if (compact) {
        // The word kept is the one that gives 1 alone: A of A/B, D of C/D.
        ones = order.U32(raw);
        others = 0;
    } else {
        const uint32_t first = order.U32(raw), second = order.U32(raw + 4);
        ones = ab ? first : second;
        others = ab ? second : first;
    }
    if (width < 32 && ((ones | others) >> width) != 0) return false;
    SetValueSize(change->bits, width);
    uint8_t *codes = change->bits.data();
    for (uint32_t k = 0; 8 * k < width; ++k, ones >>= 8, others >>= 8) {
        PutCodes(PairCodes(ones & 0xFF, others & 0xFF), k, width, codes);
    }
    change->kind = TRAXR_VALUE_LOGIC;
    return true;
}

// Decodes the `size` value bytes at `raw` (a copy of them is in change->raw).
Status DecodeValue(const Group &group, const FieldOrder &order, const ArrayContext &context,
                   const uint8_t *raw, size_t size, Change *change) {
    switch (group.format) {
        case kScalar:
            // One code: a logic level below 4.
            if (raw[0] <= 3) {
                change->bits.clear();
                change->bits_in_raw = true;
                change->kind = TRAXR_VALUE_LOGIC;
            }
            return Status();
        case kNormalBus:
            if (group.bytes_per_bit == 0) {
                // The stored bytes are the codes: they stay where they are.
                if (AllLogicCodes(raw, size)) {
                    change->bits.clear();
                    change->bits_in_raw = true;
                    change->kind = TRAXR_VALUE_LOGIC;
                }
            } else if (group.bytes_per_bit == 2 && group.value_size == 4) {
                change->string_id = order.U32(raw);
                if (context.strings->Get(change->string_id) == nullptr) {
                    return Fail(TRAXR_ERR_CORRUPT,
                                "string id %u is not in the string list (%u texts)",
                                change->string_id, context.strings->size());
                }
                change->kind = TRAXR_VALUE_STRING;
            } else if (group.bytes_per_bit == 3 && group.value_size == 8) {
                change->real = order.F64(raw);
                change->kind = TRAXR_VALUE_REAL;
            } else if (group.bytes_per_bit == 2 && group.value_size > 4 && group.value_size % 4 == 0 &&
                       size == group.value_size) {
                change->words.resize(size / 4);
                for (size_t i = 0; i < change->words.size(); ++i) {
                    change->words[i] = static_cast<int32_t>(order.U32(raw + 4 * i));
                }
                change->kind = TRAXR_VALUE_WORDS;
            }
            return Status();
        case kABBus:
            return group.bytes_per_bit == 0
                       ? DecodePairs(group, order, raw, change->compact, 0, change)
                       : Status();
        case kCDBus:
            return group.bytes_per_bit == 0
                       ? DecodePairs(group, order, raw, change->compact, 1, change)
                       : Status();
        case kABMemory:
            if (group.bytes_per_bit == 0) {
                const uint32_t width = group.value_size;
                const uint32_t half = (width + 7) >> 3;
                change->bits.resize(width);
                for (uint32_t i = 0; i < half; ++i) {
                    PutCodes(PairCodes(raw[i], change->compact ? 0 : raw[half + i]), i, width,
                             change->bits.data());
                }
                change->kind = TRAXR_VALUE_LOGIC;
            }
            return Status();
        default:  // VHDL compressed: kept as stored
            return Status();
    }
}

}  // namespace

Status ElementDecoder::Start(const ChainEntry &entry, const ArrayContext &context) {
    ended_ = true;
    if (context.xtag_type == 2 || context.xtag_type == 3) {
        return Fail(TRAXR_ERR_UNSUPPORTED,
                    "value changes of files with %s time tags are not decoded",
                    context.xtag_type == 2 ? "double" : "float");
    }
    cold_->entry = entry;
    cold_->context = context;
    change_count_ = entry.change_count;
    session_ = entry.session;
    redundant_ = entry.redundant;
    time_ = 0;
    cold_->first_time = 0;
    count_ = 0;
    TAVRI_RETURN_IF_ERROR(cursor_.Seek(entry.element_position));
    if (cursor_.block()->owner != entry.session) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the vc chain entry at 0x%llx (session %u) points to 0x%llx in session %u",
                    static_cast<unsigned long long>(entry.position), entry.session,
                    static_cast<unsigned long long>(entry.element_position),
                    cursor_.block()->owner);
    }
    TAVRI_RETURN_IF_ERROR(ReadGroupStart());
    ended_ = false;
    return Status();
}

// The format byte and, for vectors, the group header.
Status ElementDecoder::ReadGroupStart() {
    uint8_t format;
    TAVRI_RETURN_IF_ERROR(cursor_.Byte(&format));
    group_ = Group();
    TAVRI_RETURN_IF_ERROR(ReadGroupHeader(&cursor_, format, cold_->context, &group_));
    format_ = group_.format;
    // The low three bits are 0, and the compact bit too without a compact form.
    vector_reject_ = group_.compact_length == 0 ? 0x0F : 0x07;
    return Status();
}

Status ElementDecoder::Finish() {
    ended_ = true;
    cursor_.Release();
    const ChainEntry &chain_entry = cold_->entry;
    const uint64_t first_time = cold_->first_time;
    if (count_ != chain_entry.change_count) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the element array at 0x%llx holds %u changes, its vc chain entry %u",
                    static_cast<unsigned long long>(chain_entry.element_position), count_,
                    chain_entry.change_count);
    }
    if (first_time != chain_entry.first_time || time_ != chain_entry.last_time) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the element array at 0x%llx runs from %llu to %llu, its vc chain entry "
                    "from %llu to %llu",
                    static_cast<unsigned long long>(chain_entry.element_position),
                    static_cast<unsigned long long>(first_time),
                    static_cast<unsigned long long>(time_),
                    static_cast<unsigned long long>(chain_entry.first_time),
                    static_cast<unsigned long long>(chain_entry.last_time));
    }
    return Status();
}

namespace {

// The bytes of an element before its value: head, a scalar's own code byte,
// time delta, sequence number.
uint64_t ElementLeadLength(uint8_t head, bool scalar) {
    const unsigned time_code = (head >> 4) & 3;
    const unsigned sequence_code = head >> 6;
    return 1 + (scalar && (head & 0x0F) == 0 ? 1 : 0) + (time_code == 3 ? 8 : 2 * time_code) +
           2 * sequence_code;
}

}  // namespace

Status ElementDecoder::ReadNextTime(bool *done) {
    *done = false;
    if (ended_) {
        *done = true;
        return Status();
    }
    uint8_t head;
    for (;;) {
        TAVRI_RETURN_IF_ERROR(cursor_.Byte(&head));
        if (head != kNextGroup && head != kEndArray) {
            break;
        }
        if (head == kEndArray) {
            *done = true;
            return Finish();
        }
        TAVRI_RETURN_IF_ERROR(ReadGroupStart());
    }
    const unsigned time_code = (head >> 4) & 3;
    const unsigned sequence_code = head >> 6;
    const bool scalar = group_.format == kScalar;
    const bool compact = !scalar && (head & kCompactBit) != 0;
    if (time_code == 0 || sequence_code == 3 || (!scalar && (head & 0x07) != 0) ||
        (compact && group_.compact_length == 0)) {
        return Fail(TRAXR_ERR_CORRUPT, "element at 0x%llx has the head byte 0x%02x",
                    static_cast<unsigned long long>(cursor_.position() - 1), head);
    }
    if (++count_ > change_count_) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the element array at 0x%llx holds more than the %u changes of its "
                    "vc chain entry",
                    static_cast<unsigned long long>(cold_->entry.element_position),
                    cold_->entry.change_count);
    }
    head_ = head;
    if (scalar) {
        code_ = static_cast<uint8_t>((head & 0x0F) - 1);
        if ((head & 0x0F) == 0) {
            TAVRI_RETURN_IF_ERROR(cursor_.Byte(&code_));
        }
    }
    uint64_t delta;
    if (time_code == 3) {
        TAVRI_RETURN_IF_ERROR(cursor_.HighLow(&delta));
    } else {
        TAVRI_RETURN_IF_ERROR(cursor_.Unsigned(time_code == 1 ? 2 : 4, &delta));
    }
    if (delta > UINT64_MAX - time_) {
        return Fail(TRAXR_ERR_CORRUPT, "element at 0x%llx overflows the time",
                    static_cast<unsigned long long>(cursor_.position() -
                                                    ElementLeadLength(head, scalar) +
                                                    2 * sequence_code));
    }
    time_ += delta;
    if (count_ == 1) {
        cold_->first_time = time_;
    }
    sequence_ = 0;
    if (sequence_code != 0) {
        uint64_t sequence;
        TAVRI_RETURN_IF_ERROR(cursor_.Unsigned(sequence_code == 1 ? 2 : 4, &sequence));
        sequence_ = static_cast<uint32_t>(sequence);
    }
    return Status();
}

// The common forms, per-bit codes and narrow word pairs, take a short path
// here; the others, and values that leave the block, go out of line, so that
// the short path sets up little.
Status ElementDecoder::DecodeVector(Change *change) {
    SetChangeFields(change);
    const size_t length = change->compact ? group_.compact_length : group_.full_length;
    // Decoded from the block where it holds them rather than from the copy
    // just written.
    const uint8_t *source = cursor_.Take(length);
    if (source == nullptr) return DecodeVectorAcross(length, change);
    change->raw.resize(length);
    // Without a call: most vectors' values are a few bytes.
    platform::CopyShort(change->raw.data(), source, length);
    if (group_.bytes_per_bit == 0) {
        const uint8_t format = group_.format;
        if (format == kNormalBus) {
            // The stored bytes are the codes: they stay where they are.
            if (AllLogicCodes(source, length)) {
                change->bits_in_raw = true;
                change->kind = TRAXR_VALUE_LOGIC;
                return Status();
            }
        } else if ((format == kABBus || format == kCDBus) && group_.value_size <= 32 &&
                   DecodeOnePair(group_.value_size, cursor_.order(), source, change->compact,
                                 format == kABBus, change)) {
            return Status();
        }
    }
    return DecodeOtherValue(source, length, change);
}

[[gnu::noinline]] Status ElementDecoder::DecodeOtherValue(const uint8_t *source, size_t length,
                                                          Change *change) {
    // The bits of the change before are overwritten in place, not cleared
    // first: they are dropped only when this change has none.
    TAVRI_RETURN_IF_ERROR(DecodeValue(group_, cursor_.order(), cold_->context, source, length, change));
    if (change->kind != TRAXR_VALUE_LOGIC) change->bits.clear();
    return Status();
}

// Value bytes that run into the next block, or past the stream's end.
Status ElementDecoder::DecodeVectorAcross(size_t length, Change *change) {
    if (length > cursor_.BytesInBlock() && length > cursor_.RemainingBound()) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the %llu value bytes of the element at 0x%llx run past the "
                    "value-change stream",
                    static_cast<unsigned long long>(length),
                    static_cast<unsigned long long>(cursor_.position() -
                                                    ElementLeadLength(head_, false)));
    }
    change->raw.resize(length);
    TAVRI_RETURN_IF_ERROR(cursor_.Bytes(change->raw.data(), length));
    return DecodeOtherValue(change->raw.data(), length, change);
}

Status ReadElementArray(Cursor *cursor, const ChainEntry &entry, const ArrayContext &context,
                        std::vector<Change> *out) {
    ElementDecoder decoder(cursor->stream(), context.order);
    TAVRI_RETURN_IF_ERROR(decoder.Start(entry, context));
    for (;;) {
        Change change;
        bool done = false;
        TAVRI_RETURN_IF_ERROR(decoder.Next(&change, &done));
        if (done) {
            return Status();
        }
        out->push_back(std::move(change));
    }
}

}  // namespace tavri::reader
