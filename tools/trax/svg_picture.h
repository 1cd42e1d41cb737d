// Draws signals over a stretch of time as an SVG waveform picture: a time
// axis on top, then one row per signal with its path on the left.
//   - one-bit logic signals as a line, high for 1 and low for 0, x as a red
//     band across the row, z as an orange line in the middle;
//   - vectors, reals and strings as a bus: a band per value, labelled with
//     the value where it fits (vectors in hexadecimal when they hold no x
//     or z, else in binary), red while it holds an x;
//   - events as arrows at the times they occur.
// Every value drawn carries a <title> ("PATH = VALUE @ FROM..TO") that a
// browser shows on hover, so that a value too narrow to label is not lost.
// Where a signal changes more often than a pixel column can show, the
// changes beyond kChangesPerColumn in that column are drawn as one grey
// mark ("PATH: N changes hidden @ FROM..TO"), which keeps the picture's size
// bounded by its width.
// The geometry is given in data- attributes for programs that read the
// picture: on the root, data-left and data-right (the x of --from and
// --to), data-from and data-to; on each signal's group, data-path and
// data-high and data-low (the y of the line for 1 and for 0).
#ifndef TAVRI_TOOLS_TRAX_SVG_PICTURE_H
#define TAVRI_TOOLS_TRAX_SVG_PICTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include "wave_source.h"

namespace trax {

struct TraceValue {
    uint64_t time;
    std::string value;  // as a WaveSource gives it
    // Changes too close together to draw that led up to this value, from
    // `time` on (0 for none).
    uint64_t hidden = 0;
};

struct Trace {
    WaveSignal signal;
    std::vector<TraceValue> values;  // in time order; the first at or before the picture's start
};

struct Picture {
    uint64_t from = 0;
    uint64_t to = 0;
    std::string unit;  // the time unit shown on the axis
    std::vector<Trace> traces;
};

constexpr int kPlotColumns = 960;  // the width of the plot in pixels
constexpr uint64_t kChangesPerColumn = 8;

// The pixel column of a time of the picture, 0 .. kPlotColumns.
uint32_t PlotColumn(const Picture &picture, uint64_t time);

std::string DrawSvg(const Picture &picture);

}  // namespace trax

#endif
