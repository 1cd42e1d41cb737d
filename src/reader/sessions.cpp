#include "reader/sessions.h"

namespace tavri::reader {
namespace {

constexpr uint8_t kSessionMarker = 0x0F;
constexpr size_t kFixedBytes = 1 + 8 + 8 + 4 + 1;

}  // namespace

Status ParseSessionList(const uint8_t *data, size_t size, uint32_t count, const FieldOrder &order,
                        std::vector<SessionRecord> *out) {
    out->clear();
    size_t at = 0;
    uint32_t chain_blocks = 0;
    for (uint32_t s = 0; s < count; ++s) {
        if (size - at < kFixedBytes) {
            return Fail(TRAXR_ERR_TRUNCATED,
                        "the session list (%zu bytes) ends inside session record %u of %u", size, s,
                        count);
        }
        if (data[at] != kSessionMarker) {
            return Fail(TRAXR_ERR_CORRUPT, "session record %u starts with 0x%02x instead of 0x0f",
                        s, data[at]);
        }
        SessionRecord record;
        record.start_time = order.HighLow(data + at + 1);
        record.end_time = order.HighLow(data + at + 9);
        record.first_vc_block = order.U32(data + at + 17);
        const uint8_t vc_count = data[at + 21];
        at += kFixedBytes;
        if (size - at < vc_count * kLayoutBytes + 1) {
            return Fail(TRAXR_ERR_TRUNCATED, "session record %u runs past the session list", s);
        }
        for (uint8_t i = 0; i < vc_count; ++i, at += kLayoutBytes) {
            record.vc_blocks.push_back(ReadLayout(order, data + at));
        }
        const uint8_t chain_count = data[at++];
        if (size - at < chain_count * kLayoutBytes) {
            return Fail(TRAXR_ERR_TRUNCATED, "session record %u runs past the session list", s);
        }
        for (uint8_t i = 0; i < chain_count; ++i, at += kLayoutBytes) {
            record.chain_blocks.push_back(ReadLayout(order, data + at));
        }
        record.first_chain_block = chain_blocks;
        chain_blocks += chain_count;
        out->push_back(std::move(record));
    }
    if (at != size) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "%zu bytes follow the %u session records in the session list", size - at,
                    count);
    }
    return Status();
}

}  // namespace tavri::reader
