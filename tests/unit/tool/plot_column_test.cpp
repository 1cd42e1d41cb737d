// The pixel column of a time is time * 960 / span, rounded down, over the
// whole 64-bit range of times, where the product needs up to 74 bits.
#include "svg_picture.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trax {
namespace {

struct ColumnRow {
    uint64_t from;
    uint64_t to;
    uint64_t time;
    uint32_t column;
};

TEST(PlotColumnTest, ColumnsAcrossTheWholeTimeRange) {
    constexpr uint64_t kMax = UINT64_MAX;
    const ColumnRow rows[] = {
        {0, 960, 0, 0},
        {0, 960, 959, 959},
        {0, 960, 960, 960},
        {0, 960, 5000, 960},  // past the end: the last column
        {100, 100, 100, 0},   // an empty span
        {10, 1930, 1000, 495},
        {0, kMax, kMax / 2, 479},
        {0, kMax, kMax - 1, 959},
        {0, kMax, kMax, 960},
        {1, kMax, uint64_t{1} << 63, 480},  // (2^63 - 1) / (2^64 - 2) is one half
        {0, uint64_t{1} << 40, (uint64_t{1} << 40) / 3, 319},  // a third, rounded down first
        {0, 3, 1, 320},
        {0, 3, 2, 640},
    };
    for (const ColumnRow &row : rows) {
        Picture picture;
        picture.from = row.from;
        picture.to = row.to;
        EXPECT_EQ(PlotColumn(picture, row.time), row.column)
            << "from " << row.from << " to " << row.to << " at " << row.time;
    }
}

}  // namespace
}  // namespace trax
