// The stop mark: what a flush made while the simulation is paused tells the
// readers of the live file.
//
// A flush may come in the middle of a time step (value-change memory full,
// a flush asked for while the simulation runs), so a reader of a live file
// hides the changes at the last session's end time tag. A flush made while
// the simulation is paused (txw_FlushAtStop: an interactive stop, a command
// at the prompt) leaves the file holding every change up to the current time
// tag; the mark says so, and which session count it holds for. A session
// flushed later makes the counts differ, and the mark lapses by itself.
//
// The mark lies at the start of the reserved area (file offset 2560),
// rewritten after every flush, in the byte order of the header:
//   0   u32  kStopMarkWord while a mark is set, else 0
//   4   u32  the session count at the stop
//   8   u32  the current time tag's high word at the stop
//   12  u32  its low word
#ifndef TAVRI_WRITER_STOP_MARK_H
#define TAVRI_WRITER_STOP_MARK_H

#include <cstdint>

struct txwObject;

namespace tavri::writer {

constexpr uint32_t kStopMarkWord = 0x53544F50u;  // "STOP"
constexpr uint32_t kStopMarkSize = 16;

// Sets the mark in the image for the object's present session count and
// time tag (none for a file without integer time tags); the next write of
// the reserved area stores it.
void SetStopMark(txwObject *obj);
void ClearStopMark(txwObject *obj);

}  // namespace tavri::writer

#endif
