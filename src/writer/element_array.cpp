#include "writer/element_array.h"

#include <algorithm>
#include <cstring>

#include "writer/header_layout.h"
#include "writer/incore_var.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/vc.h"
#include "writer/wbuf.h"

namespace tavri::writer {
namespace {

constexpr uint8_t kScalarFormat = 0;
constexpr uint8_t kFlagX = 1;
constexpr uint8_t kFlagZ = 2;
constexpr uint8_t kFlagEqualTimes = 4;

// Format byte of a vector group by value format.
uint8_t GroupFormatByte(uint8_t value_format) {
    static constexpr uint8_t kBytes[] = {4, 4, 5, 6, 7, 9, 10, 11, 12, 13};
    return value_format < sizeof kBytes ? kBytes[value_format] : 4;
}

// Appends `bytes` low-order bytes of the value, in the file's byte order.
void PutLow(uint8_t *&at, uint64_t value, int bytes) {
    std::memcpy(at, &value, static_cast<size_t>(bytes));
    at += bytes;
}

void PutHighLow(uint8_t *&at, uint64_t value) {
    const auto high = static_cast<uint32_t>(value >> 32);
    const auto low = static_cast<uint32_t>(value);
    std::memcpy(at, &high, 4);
    std::memcpy(at + 4, &low, 4);
    at += 8;
}

// The time delta of one change: returns its width code, writes the bytes.
uint8_t PutDelta(uint8_t *&at, uint64_t delta, bool wide_form) {
    if (delta < 0x10000) {
        PutLow(at, delta, 2);
        return 1;
    }
    if (!wide_form || (delta >> 32) == 0) {
        PutLow(at, delta, 4);
        return 2;
    }
    PutHighLow(at, delta);
    return 3;
}

uint8_t PutSeq(uint8_t *&at, uint32_t seq) {
    if (seq < 0x10000) {
        PutLow(at, seq, 2);
        return 1;
    }
    PutLow(at, seq, 4);
    return 2;
}

// X and Z bits of one value, for the session flags.
inline __attribute__((always_inline)) uint8_t UnknownBits(const IncoreVar &var, const uint8_t *value, uint32_t length) {
    uint8_t flags = 0;
    if ((var.flags & kVarBytesPerBitMask) != 0) {
        return 0;
    }
    if (var.value_format == kFormatABBus) {
        for (uint32_t pair = 0; pair < length / 8; ++pair) {
            uint32_t a;
            uint32_t b;
            std::memcpy(&a, value + pair * 8, 4);
            std::memcpy(&b, value + pair * 8 + 4, 4);
            if ((a & b) != 0) flags |= kFlagX;
            if ((~a & b) != 0) flags |= kFlagZ;
        }
        return flags;
    }
    for (uint32_t i = 0; i < length; ++i) {
        if (value[i] == 2) flags |= kFlagX;
        if (value[i] == 3) flags |= kFlagZ;
    }
    return flags;
}

inline __attribute__((always_inline)) bool AllSecondWordsZero(const uint8_t *value, uint32_t length) {
    for (uint32_t pair = 0; pair < length / 8; ++pair) {
        uint32_t b;
        std::memcpy(&b, value + pair * 8 + 4, 4);
        if (b != 0) {
            return false;
        }
    }
    return true;
}

// The element array of a one-byte (kScalar) or a multi-byte variable: one
// instance each, so that the per-change loop has no branch on the kind.
template <bool kScalar>
void WriteChanges(txwObject *obj, IncoreVar &var, SessionScratch &scratch) {
    const HeaderImage &header = obj->header;
    const uint8_t xtag_type = header.U8(kHdrXtagType);
    const bool real_time = xtag_type == kXtagDouble || xtag_type == kXtagFloat;
    const bool wide_form = real_time || header.U32(kHdrMaxXtag) != 0;
    const bool track_unknowns = header.U8(kHdrFileType) == 0;
    const bool drop_repeats = (var.flags & kVarDropRepeats) != 0;
    WriteBuffer *out = obj->vc_buffer;

    if (kScalar && real_time) {
        Warn(xtag_type == kXtagDouble
                 ? "__WriteVCElemBC1Arr(): xtag type of the scalar is double.Should be discrete!\n"
                 : "__WriteVCElemBC1Arr(): xtag type of the scalar is float.Should be discrete!\n");
        WBufPutByte(obj, out, kArrayEnd);
        return;
    }
    const uint32_t length = kScalar ? 1 : ValueLength(var);
    if constexpr (kScalar) {
        WBufPutByte(obj, out, kScalarFormat);
    } else {
        uint8_t group[6];
        group[0] = GroupFormatByte(var.value_format);
        group[1] = static_cast<uint8_t>(var.flags & kVarBytesPerBitMask);
        std::memcpy(group + 2, &var.value_size, 4);
        WBufPutBytes(obj, out, 6, group);
    }

    // The value written just before, for the repeat filter.
    const uint8_t *previous_value = nullptr;
    uint8_t previous_scalar = static_cast<uint8_t>((var.flags & kVarLastValueMask) >> kVarLastValueShift);
    if (var.flushed_before != 0) {
        previous_value = kScalar ? &previous_scalar : var.last_value;
    }
    uint64_t previous_stamp = 0;
    uint64_t smallest_step = 0;
    const bool has_seq = obj->seq_num_size != 0;
    // An element is built in place when the buffer has room for the largest
    // one (head, code, 8-byte delta, sequence number, value); else in the
    // scratch area, and copied across the block's end.
    const uint32_t largest_element = 14 + length;
    auto emit = [&](uint8_t *element, uint8_t *end) {
        if (element == out->current) {
            out->current = end;
        } else {
            WBufPutBytes(obj, out, static_cast<uint32_t>(end - element), element);
        }
    };

    ForEachPendingChange(var, length, [&](const PendingChange &change) __attribute__((always_inline)) {
        if (change.filterable && drop_repeats && previous_value != nullptr &&
            std::memcmp(previous_value, change.value, length) == 0) {
            return;
        }
        uint8_t *element = WBufRoom(out) >= largest_element ? out->current : obj->scratch;
        uint8_t *at = element + 1;
        uint8_t head = 0;
        uint64_t delta = change.stamp - previous_stamp;
        if (xtag_type == kXtagDouble) {
            double now;
            double before;
            std::memcpy(&now, &change.stamp, 8);
            std::memcpy(&before, &previous_stamp, 8);
            const double difference = now - before;
            std::memcpy(&delta, &difference, 8);
        }
        if constexpr (kScalar) {
            const uint8_t code = *change.value;
            head = code < 15 ? static_cast<uint8_t>(code + 1) : 0;
            if (code >= 15) {
                *at++ = code;
            }
        }
        if (xtag_type == kXtagFloat) {
            float now;
            float before;
            const auto now_bits = static_cast<uint32_t>(change.stamp);
            const auto before_bits = static_cast<uint32_t>(previous_stamp);
            std::memcpy(&now, &now_bits, 4);
            std::memcpy(&before, &before_bits, 4);
            const float difference = now - before;
            std::memcpy(at, &difference, 4);
            at += 4;
            head |= 2 << 4;
        } else if (xtag_type == kXtagDouble) {
            PutHighLow(at, delta);
            head |= 3 << 4;
        } else {
            head |= static_cast<uint8_t>(PutDelta(at, delta, wide_form) << 4);
        }
        if (has_seq) {
            head |= static_cast<uint8_t>(PutSeq(at, change.seq) << 6);
        }
        if constexpr (!kScalar) {
            const bool compact = var.value_format == kFormatABBus && AllSecondWordsZero(change.value, length);
            if (compact) {
                // The first word of each pair. In place the buffer has room
                // for them all; in the scratch area a value of 32768 bits or
                // more does not fit after the head, so there the words go out
                // a scratch area at a time.
                head |= 8;
                const uint32_t pairs = length / 8;
                if (element == out->current) {
                    for (uint32_t pair = 0; pair < pairs; ++pair) {
                        std::memcpy(at, change.value + pair * 8, 4);
                        at += 4;
                    }
                } else {
                    element[0] = head;
                    WBufPutBytes(obj, out, static_cast<uint32_t>(at - element), element);
                    for (uint32_t pair = 0; pair < pairs;) {
                        const uint32_t part = std::min(pairs - pair, kScratchSize / 4);
                        for (uint32_t i = 0; i < part; ++i) {
                            std::memcpy(element + i * 4, change.value + (pair + i) * 8, 4);
                        }
                        WBufPutBytes(obj, out, part * 4, element);
                        pair += part;
                    }
                    at = nullptr;
                }
            } else if (element == out->current) {
                std::memcpy(at, change.value, length);  // the buffer has room for it
                at += length;
            } else {
                // Values of any length go through the buffer directly.
                element[0] = head;
                emit(element, at);
                WBufPutBytes(obj, out, length, change.value);
                at = nullptr;
            }
        }
        if (at != nullptr) {
            element[0] = head;
            emit(element, at);
        }

        if (scratch.count == 0) {
            scratch.first_time = change.stamp;
        } else {
            const uint64_t step = change.stamp - previous_stamp;
            if (!real_time && step > scratch.largest_delta) {
                scratch.largest_delta = step;
            }
            if (change.stamp == previous_stamp) {
                scratch.flags |= kFlagEqualTimes;
            }
            if (step != 0 && (smallest_step == 0 || step < smallest_step)) {
                smallest_step = step;
            }
        }
        if (track_unknowns) {
            scratch.flags |= UnknownBits(var, change.value, length);
        }
        scratch.last_time = change.stamp;
        ++scratch.count;
        previous_stamp = change.stamp;
        if constexpr (kScalar) {
            previous_scalar = *change.value;
            previous_value = &previous_scalar;
        } else {
            previous_value = change.value;
        }
    });
    WBufPutByte(obj, out, kArrayEnd);

    // The last value stays for the next session's repeat filter.
    if (scratch.count > 0) {
        if constexpr (kScalar) {
            var.flags = (var.flags & ~kVarLastValueMask) |
                        (static_cast<uint32_t>(previous_scalar) << kVarLastValueShift);
        } else if (previous_value != var.last_value) {
            std::memcpy(var.last_value, previous_value, length);
        }
        var.flushed_before = 1;
    }
    if (obj->calc_min_time_step && smallest_step != 0 && !real_time) {
        HeaderImage &image = obj->header;
        const uint64_t current = (static_cast<uint64_t>(image.U32(kHdrMinTimeStep)) << 32) |
                                 image.U32(kHdrMinTimeStep + 4);
        if (smallest_step < current) {
            image.SetU32(kHdrMinTimeStep, static_cast<uint32_t>(smallest_step >> 32));
            image.SetU32(kHdrMinTimeStep + 4, static_cast<uint32_t>(smallest_step));
        }
    }
}

}  // namespace

void WriteElementArray(txwObject *obj, IncoreVar &var, SessionScratch &scratch) {
    if (var.value_size == 1) {
        WriteChanges<true>(obj, var, scratch);
    } else {
        WriteChanges<false>(obj, var, scratch);
    }
}

void PutChainEntry(txwObject *obj, IncoreVar &var, Uoff element_position, const SessionScratch &scratch) {
    const Uoff here = StreamPosition(obj, obj->vc_chain_buffer);
    const uint64_t back = var.chain_position != 0 ? obj->offsets->difference(here, var.chain_position) : 0;
    var.chain_position = here;

    uint8_t entry[2 + 8 * 6];
    uint8_t *at = entry + 2;
    uint8_t flags_a = 0;
    uint8_t flags_b = static_cast<uint8_t>(scratch.flags << 4);

    // Positions: 1, 2, 4 or 8 bytes (8 bytes as a uoff).
    auto put_position = [&at](uint64_t value) -> uint8_t {
        if (value < 0x100) {
            PutLow(at, value, 1);
            return 0;
        }
        if (value < 0x10000) {
            PutLow(at, value, 2);
            return 1;
        }
        if ((value >> 32) == 0) {
            PutLow(at, value, 4);
            return 2;
        }
        PutLow(at, value, 8);
        return 3;
    };
    // Times and the statistic: at least 2 bytes; 8 bytes as high, low.
    auto put_time = [&at](uint64_t value) -> uint8_t {
        if (value < 0x10000) {
            PutLow(at, value, 2);
            return 1;
        }
        if ((value >> 32) == 0) {
            PutLow(at, value, 4);
            return 2;
        }
        PutHighLow(at, value);
        return 3;
    };
    flags_a |= put_position(back);
    flags_a |= static_cast<uint8_t>(put_position(element_position) << 2);
    flags_a |= static_cast<uint8_t>(put_time(scratch.largest_delta) << 4);
    if (scratch.count < 0x100) {
        PutLow(at, scratch.count, 1);
    } else if (scratch.count < 0x10000) {
        PutLow(at, scratch.count, 2);
        flags_a |= 1 << 6;
    } else {
        PutLow(at, scratch.count, 4);
        flags_a |= 2 << 6;
    }
    flags_b |= put_time(scratch.first_time);
    flags_b |= static_cast<uint8_t>(put_time(scratch.last_time) << 2);
    entry[0] = flags_a;
    entry[1] = flags_b;
    WBufPutBytes(obj, obj->vc_chain_buffer, static_cast<uint32_t>(at - entry), entry);
}

}  // namespace tavri::writer
