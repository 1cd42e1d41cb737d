#include "reader/stop_mark.h"

namespace tavri::reader {
namespace {

constexpr uint32_t kStopMarkWord = 0x53544F50u;

}  // namespace

std::optional<StopMark> ParseStopMark(const uint8_t *bytes, const FieldOrder &order) {
    if (order.U32(bytes) != kStopMarkWord) {
        return std::nullopt;
    }
    StopMark mark;
    mark.session_count = order.U32(bytes + 4);
    mark.time = (static_cast<uint64_t>(order.U32(bytes + 8)) << 32) | order.U32(bytes + 12);
    return mark;
}

}  // namespace tavri::reader
