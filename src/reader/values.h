// Element arrays: one per variable and session, in the value-change stream.
//
// An array is a sequence of groups separated by 0xC0 and ended by 0xC1. A
// group is a format byte, for vector formats a 5-byte group header (the
// bytes-per-bit code, then the 32-bit value size), and its elements:
//   head: bits 0-3 (scalars) value code + 1, or 0 when the code (15 or more)
//         follows in its own byte; bit 3 (vectors) the compact form;
//         bits 4-5 time delta width 2, 4 or 8 bytes (8 = high, low words);
//         bits 6-7 sequence number width 0, 2 or 4 bytes
//   [value code], time delta, [sequence number], [value bytes]
// The first element's delta is its absolute time; each later one is the
// distance from the element before it in the array.
//
// Format bytes and value bytes:
//   0  scalar (value in the head)
//   4  normal bus: the value size in bytes, per-bit codes most significant
//      first for bytes-per-bit code 0; a string id (code 2, width 1); a
//      double (code 3, width 1); opaque data otherwise
//   5  A/B bus: (A, B) 32-bit word pairs from the least significant 32 bits
//      on; 0 = (0,0), 1 = (1,0), X = (1,1), Z = (0,1). Compact: A words only.
//   6  VHDL compressed bus: two codes a byte, (size - 1) / 2 + 1 bytes
//   10 C/D bus: (C, D) pairs; 0 = (0,0), 1 = (0,1), X = (1,1), Z = (1,0).
//      Compact: D words only.
//   11 A/B memory: all A bytes, then all B bytes, bit i at byte i / 8, bit
//      i % 8. Compact: the A bytes only.
// Formats 7, 9, 12 and 13 carry encodings of their own and are not decoded.
#ifndef TAVRI_READER_VALUES_H
#define TAVRI_READER_VALUES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "reader/byte_order.h"
#include "reader/chain.h"
#include "reader/status.h"
#include "reader/stream.h"
#include "reader/strings.h"
#include "reader/tree.h"

namespace tavri::reader {

// Allocates for a vector whose resize leaves the new elements unset: a
// change's value bytes are always written straight after the resize, and
// one Change serves variables of different widths in turn.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
    using value_type = T;
    template <typename U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <typename U>
    UnsetAllocator(const UnsetAllocator<U> &) noexcept {}
    template <typename U>
    void construct(U *at) noexcept {
        ::new (static_cast<void *>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U *at, Args &&...args) {
        ::new (static_cast<void *>(at)) U(std::forward<Args>(args)...);
    }
};
using ValueBytes = std::vector<uint8_t, UnsetAllocator<uint8_t>>;

// Gives `bytes` `size` elements. Growth is out of line: inlined into the
// walk, GCC's overflow check at -O3 misreads the growth of a vector from its
// empty state as a write past its end. Shrinking, as a scalar's change does
// after a vector's, stays inline.
void ResizeValueBytes(ValueBytes &bytes, size_t size);
inline void SetValueSize(ValueBytes &bytes, size_t size) {
    if (bytes.size() > size) {
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(size), bytes.end());
    } else if (bytes.size() < size) {
        ResizeValueBytes(bytes, size);
    }
}

struct Change {
    uint64_t time = 0;
    uint32_t session = 0;
    bool has_sequence = false;
    uint32_t sequence = 0;
    uint8_t format = 0;
    bool compact = false;
    int kind = TRAXR_VALUE_RAW;
    // Logic values (kind TRAXR_VALUE_LOGIC): one code per bit, most
    // significant first, in `bits`; or, with bits_in_raw, the stored bytes
    // are those codes themselves (scalars and per-bit code buses) and `bits`
    // is empty. codes() and code_count() give them either way.
    ValueBytes bits;
    bool bits_in_raw = false;
    const uint8_t *codes() const { return bits_in_raw ? raw.data() : bits.data(); }
    size_t code_count() const { return bits_in_raw ? raw.size() : bits.size(); }
    double real = 0.0;
    uint32_t string_id = 0;
    std::vector<int32_t> words;
    ValueBytes raw;
    // A ring file's value at the start of its retained stretch, repeated by
    // the writer rather than changed by the design (see ring.h).
    bool redundant = false;
};

struct ArrayContext {
    FieldOrder order;
    const StringList *strings = nullptr;
    const VarRecord *var = nullptr;  // null when no record names the idcode
    uint8_t xtag_type = 0;
};

// The group an element decoder is in: its format byte and, for vectors, the
// group header and the value lengths it implies.
struct Group {
    uint8_t format = 0;
    uint8_t bytes_per_bit = 0;
    uint32_t value_size = 1;
    uint64_t full_length = 1;
    uint64_t compact_length = 0;  // 0: no compact form
};

// Decodes one element array change by change, so that many arrays can be
// read side by side (merging them in time order) without holding their
// changes. Checks every change against the array's vc chain entry as it
// goes, and the count and the first and last time tags at the end.
//
// A change is read in two steps: NextTime reads its element up to the value
// bytes, Value decodes them. A merge learns each array's next time from the
// first and decodes a value only when it hands the change out, into one
// Change for all arrays: the decoder itself then holds no value.
class ElementDecoder {
  public:
    ElementDecoder(const Stream *stream, const FieldOrder &order) : cursor_(stream, order) {}

    Status Start(const ChainEntry &entry, const ArrayContext &context);
    // Decodes the next change into `change` (its buffers are reused); sets
    // *done instead when the array has ended.
    Status Next(Change *change, bool *done) {
        TAVRI_RETURN_IF_ERROR(NextTime(done));
        return *done ? Status() : Value(change);
    }
    // Reads the next element up to its value bytes; its time is then time().
    // Sets *done instead when the array has ended. Value must follow before
    // the next call.
    Status NextTime(bool *done);
    uint64_t time() const { return time_; }
    // Decodes the value of the element NextTime read, and the rest of the
    // change, into `change` (its buffers are reused).
    Status Value(Change *change);
    // Where the bytes the decoder reads next lie (see Cursor::Ahead).
    const uint8_t *Ahead() const { return cursor_.Ahead(); }
    // Lets go of the block the decoder was reading.
    void Release() { cursor_.Release(); }
    const ChainEntry &entry() const { return cold_->entry; }

  private:
    // The general forms of NextTime and Value; the inline ones below take
    // the common elements (a 2- or 4-byte time delta, no sequence number,
    // inside the block) and scalar values without a call.
    Status ReadNextTime(bool *done);
    Status DecodeVector(Change *change);
    Status DecodeVectorAcross(size_t length, Change *change);
    Status DecodeOtherValue(const uint8_t *source, size_t length, Change *change);
    // The fields of `change` other than its value.
    void SetChangeFields(Change *change) const {
        const bool compact = format_ != 0 && (head_ & 0x08) != 0;
        change->time = time_;
        change->session = session_;
        change->redundant = redundant_;
        change->format = format_;
        change->compact = compact;
        change->kind = TRAXR_VALUE_RAW;
        change->bits_in_raw = false;
        change->real = 0.0;
        change->string_id = 0;
        change->has_sequence = (head_ >> 6) != 0;
        change->sequence = sequence_;
    }
    Status Finish();
    Status ReadGroupStart();

    // What the array's start and end, its group headers and its rarer
    // values read, apart from the fields below: a merge of many arrays then
    // keeps each decoder in two cache lines.
    struct Cold {
        uint64_t first_time = 0;
        ChainEntry entry;
        ArrayContext context;
    };

    // What a change reads comes first, so that a merge of many arrays
    // touches few cache lines per change: these fields and the cursor's
    // position (its first fields) fill a line with the merge's own few
    // bytes, and a scalar's change reads no other; a vector's reads the
    // group too.
    uint64_t time_ = 0;
    uint32_t count_ = 0;
    uint32_t change_count_ = 0;  // entry.change_count
    uint32_t session_ = 0;       // entry.session
    uint32_t sequence_ = 0;      // of the element read
    uint8_t format_ = 0;         // group_.format
    uint8_t head_ = 0;           // of the element read
    uint8_t code_ = 0;           // a scalar element's value code
    uint8_t vector_reject_ = 0;  // head bits a vector element of the group may not have
    bool redundant_ = false;     // entry.redundant
    bool ended_ = true;
    Cursor cursor_;
    Group group_;
    std::unique_ptr<Cold> cold_ = std::make_unique<Cold>();
};

inline Status ElementDecoder::NextTime(bool *done) {
    *done = false;
    const uint8_t *at = cursor_.Window(5);
    if (at != nullptr && !ended_ && count_ < change_count_) {
        const uint8_t head = at[0];
        const unsigned time_code = (head >> 4) & 3;
        // No sequence number (nor a group separator), a 2- or 4-byte delta.
        const bool plain = head < 0x40 && (time_code == 1 || time_code == 2);
        const bool scalar = format_ == 0;
        if (plain && (scalar ? (head & 0x0F) != 0 : (head & vector_reject_) == 0)) {
            const uint64_t delta =
                time_code == 1 ? cursor_.order().U16(at + 1) : cursor_.order().U32(at + 1);
            if (delta <= UINT64_MAX - time_) {
                cursor_.Skip(1 + 2 * time_code);
                head_ = head;
                code_ = static_cast<uint8_t>((head & 0x0F) - 1);
                time_ += delta;
                if (++count_ == 1) cold_->first_time = time_;
                sequence_ = 0;
                return Status();
            }
        }
    }
    return ReadNextTime(done);
}

inline Status ElementDecoder::Value(Change *change) {
    if (format_ != 0) return DecodeVector(change);
    SetChangeFields(change);
    SetValueSize(change->raw, 1);
    change->raw[0] = code_;
    change->bits.clear();
    // One code: a logic level below 4.
    if (code_ <= 3) {
        change->bits_in_raw = true;
        change->kind = TRAXR_VALUE_LOGIC;
    }
    return Status();
}

// Reads the element array that `entry` points to and appends its changes,
// checking them against the entry's count and first and last time tags.
Status ReadElementArray(Cursor *cursor, const ChainEntry &entry, const ArrayContext &context,
                        std::vector<Change> *out);

}  // namespace tavri::reader

#endif
