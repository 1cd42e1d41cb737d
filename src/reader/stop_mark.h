// The stop mark of a live file: a writer that flushed while the simulation
// was paused (an interactive stop, a command at the prompt) says that the
// file then held every value change up to a time tag, for the session count
// it had. While the file still has that many sessions, its last time step is
// complete as far as the simulation had got, and is shown.
//
// It lies at the start of the reserved area (file offset 2560), in the
// file's byte order: a u32 word 0x53544F50 while set, the u32 session
// count, and the time tag as two u32 words, high first.
#ifndef TAVRI_READER_STOP_MARK_H
#define TAVRI_READER_STOP_MARK_H

#include <cstdint>
#include <optional>

#include "reader/byte_order.h"

namespace tavri::reader {

constexpr uint64_t kStopMarkOffset = 2560;
constexpr uint64_t kStopMarkSize = 16;

struct StopMark {
    uint32_t session_count = 0;
    uint64_t time = 0;
};

// The mark in the 16 bytes at kStopMarkOffset, or none when none is set.
std::optional<StopMark> ParseStopMark(const uint8_t *bytes, const FieldOrder &order);

}  // namespace tavri::reader

#endif
