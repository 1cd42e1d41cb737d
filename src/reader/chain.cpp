#include "reader/chain.h"

namespace tavri::reader {
namespace {

constexpr unsigned kNoWidth = 0;
constexpr unsigned kLinkWidths[4] = {1, 2, 4, 8};
constexpr unsigned kStatisticWidths[4] = {kNoWidth, 2, 4, 8};
constexpr unsigned kCountWidths[4] = {1, 2, 4, kNoWidth};

// An 8-byte time field is two 32-bit words, high first; others are plain.
Status ReadTimeField(Cursor *cursor, unsigned width, uint64_t *out) {
    return width == 8 ? cursor->HighLow(out) : cursor->Unsigned(width, out);
}

}  // namespace

Status ParseChainTable(const uint8_t *data, size_t size, bool eight_byte, const FieldOrder &order,
                       ChainTable *out) {
    const size_t entry = eight_byte ? 9 : 5;
    if (size % entry != 0) {
        return Fail(TRAXR_ERR_TRUNCATED,
                    "the chain table's %zu bytes are not a whole number of %zu-byte entries", size,
                    entry);
    }
    const size_t count = size / entry;
    out->last.resize(count);
    out->flags.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *at = data + i * entry;
        out->last[i] = eight_byte ? order.U64(at) : order.U32(at);
        out->flags[i] = at[entry - 1];
    }
    return Status();
}

Status ReadChainEntry(Cursor *cursor, uint64_t position, ChainEntry *entry) {
    if (position == 0) {
        return Fail(TRAXR_ERR_CORRUPT, "a vc chain entry cannot lie at position 0");
    }
    TAVRI_RETURN_IF_ERROR(cursor->Seek(position));
    ChainEntry e;
    e.position = position;
    e.session = cursor->block()->owner;
    e.redundant = cursor->block()->redundant;
    TAVRI_RETURN_IF_ERROR(cursor->Byte(&e.flags_a));
    TAVRI_RETURN_IF_ERROR(cursor->Byte(&e.flags_b));
    const unsigned statistic_width = kStatisticWidths[(e.flags_a >> 4) & 3];
    const unsigned count_width = kCountWidths[(e.flags_a >> 6) & 3];
    const unsigned first_width = kStatisticWidths[e.flags_b & 3];
    const unsigned last_width = kStatisticWidths[(e.flags_b >> 2) & 3];
    if (statistic_width == kNoWidth || count_width == kNoWidth || first_width == kNoWidth ||
        last_width == kNoWidth || (e.flags_b & 0x80) != 0) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the vc chain entry at 0x%llx has the width codes 0x%02x 0x%02x",
                    static_cast<unsigned long long>(position), e.flags_a, e.flags_b);
    }
    uint64_t count;
    TAVRI_RETURN_IF_ERROR(cursor->Unsigned(kLinkWidths[e.flags_a & 3], &e.back_link));
    TAVRI_RETURN_IF_ERROR(cursor->Unsigned(kLinkWidths[(e.flags_a >> 2) & 3], &e.element_position));
    TAVRI_RETURN_IF_ERROR(ReadTimeField(cursor, statistic_width, &e.statistic));
    TAVRI_RETURN_IF_ERROR(cursor->Unsigned(count_width, &count));
    TAVRI_RETURN_IF_ERROR(ReadTimeField(cursor, first_width, &e.first_time));
    TAVRI_RETURN_IF_ERROR(ReadTimeField(cursor, last_width, &e.last_time));
    e.change_count = static_cast<uint32_t>(count);
    if (e.back_link >= position) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the vc chain entry at 0x%llx links back 0x%llx, before the stream's start",
                    static_cast<unsigned long long>(position),
                    static_cast<unsigned long long>(e.back_link));
    }
    if (e.change_count == 0) {
        return Fail(TRAXR_ERR_CORRUPT, "the vc chain entry at 0x%llx counts no change",
                    static_cast<unsigned long long>(position));
    }
    *entry = e;
    return Status();
}

}  // namespace tavri::reader
