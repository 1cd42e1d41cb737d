// Per-bit codes written as characters several at a time: every length
// around the four- and eight-code pieces, with x and z at the start, in the
// middle and at the end, and the strength bits above the low two ignored.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "values.h"

namespace trax {
namespace {

TEST(traxBitChars, EveryLengthWithXAndZAnywhere) {
    struct Case {
        const char *what;
        // The code at position i of a value of `count` codes.
        uint8_t (*code)(size_t i, size_t count);
    };
    const std::vector<Case> cases = {
        {"0 and 1 only", [](size_t i, size_t) { return static_cast<uint8_t>((i * 5 + 1) % 3 == 0); }},
        {"x first", [](size_t i, size_t) { return static_cast<uint8_t>(i == 0 ? 2 : i % 2); }},
        {"z last", [](size_t i, size_t n) { return static_cast<uint8_t>(i + 1 == n ? 3 : 1); }},
        {"x in the middle", [](size_t i, size_t n) { return static_cast<uint8_t>(i == n / 2 ? 2 : 0); }},
        {"strength bits", [](size_t i, size_t) { return static_cast<uint8_t>(0x10 * (i % 4) + i % 2); }},
    };
    for (const Case &c : cases) {
        for (size_t count = 1; count <= 24; ++count) {
            std::vector<uint8_t> codes(count);
            std::string expected;
            for (size_t i = 0; i < count; ++i) {
                codes[i] = c.code(i, count);
                expected += "01xz"[codes[i] & 3];
            }
            std::string chars(count + 2, '#');
            WriteBitChars(codes.data(), count, chars.data() + 1);
            EXPECT_EQ(chars, "#" + expected + "#") << c.what << ", " << count << " codes";
        }
    }
}

}  // namespace
}  // namespace trax
