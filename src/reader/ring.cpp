#include "reader/ring.h"

namespace tavri::reader {

Status ParseRedundantListHead(const uint8_t *head, const FieldOrder &order, uint32_t *count) {
    if (head[0] != kRedundantListMarker) {
        return Fail(TRAXR_ERR_CORRUPT, "the redundant vc chain list starts with 0x%02x, not 0xff",
                    head[0]);
    }
    *count = order.U32(head + 1);
    return Status();
}

void ParseRedundantRanges(const uint8_t *data, uint32_t count, const FieldOrder &order,
                          std::vector<RedundantRange> *out) {
    out->clear();
    out->reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *at = data + static_cast<size_t>(i) * kRedundantRangeBytes;
        RedundantRange range;
        range.first = order.U32(at);
        range.last = order.U32(at + 4);
        if (range.first == kNoBlock) range.last = kNoBlock;
        out->push_back(range);
    }
}

uint32_t Ring::FirstRetained(const std::vector<SessionRecord> &sessions) const {
    uint32_t s = 0;
    while (s < sessions.size() && sessions[s].first_chain_block < first_valid_) ++s;
    return s;
}

bool Ring::RedundantBlock(uint32_t chain_block) const {
    for (const RedundantRange &range : ranges_) {
        if (!range.none() && chain_block >= range.first && chain_block <= range.last) return true;
    }
    return false;
}

}  // namespace tavri::reader
