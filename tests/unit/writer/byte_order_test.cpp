#include "writer/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "message_log.h"

namespace tavri::writer {
namespace {

using blocks_test::MessageLog;
using Bytes8 = std::array<unsigned char, 8>;

TEST(ByteOrderTest, IntFromHalvesSwappedOrder) {
    // 0x11223344 stored most significant byte first.
    unsigned char bytes[4] = {0x11, 0x22, 0x33, 0x44};
    ByteSwap_Int(kByteOrderHalvesSwapped, bytes);
    const unsigned char expected[4] = {0x22, 0x11, 0x44, 0x33};
    EXPECT_EQ(std::memcmp(bytes, expected, 4), 0);
}

TEST(ByteOrderTest, EachSizeInEachKnownOrder) {
    struct Case {
        uint32_t order;
        void (*convert)(uint32_t, void *);
        size_t length;
        Bytes8 expected;
    };
    const Case cases[] = {
        {kByteOrderNative, ByteSwap_Short, 2, {1, 2}},
        {kByteOrderHalvesSwapped, ByteSwap_Short, 2, {2, 1}},
        {kByteOrderReversed, ByteSwap_Short, 2, {2, 1}},
        {kByteOrderNative, ByteSwap_Int, 4, {1, 2, 3, 4}},
        {kByteOrderHalvesSwapped, ByteSwap_Int, 4, {2, 1, 4, 3}},
        {kByteOrderReversed, ByteSwap_Int, 4, {4, 3, 2, 1}},
        {kByteOrderNative, ByteSwap_Float, 4, {1, 2, 3, 4}},
        {kByteOrderHalvesSwapped, ByteSwap_Float, 4, {2, 1, 4, 3}},
        {kByteOrderReversed, ByteSwap_Float, 4, {4, 3, 2, 1}},
        {kByteOrderNative, ByteSwap_Double, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
        {kByteOrderHalvesSwapped, ByteSwap_Double, 8, {8, 7, 6, 5, 4, 3, 2, 1}},
        {kByteOrderReversed, ByteSwap_Double, 8, {8, 7, 6, 5, 4, 3, 2, 1}},
    };
    for (const Case &c : cases) {
        Bytes8 value{1, 2, 3, 4, 5, 6, 7, 8};
        Bytes8 expected = c.expected;
        for (size_t i = c.length; i < 8; ++i) {
            expected[i] = static_cast<unsigned char>(i + 1);  // bytes past the value stay
        }
        c.convert(c.order, value.data());
        EXPECT_EQ(value, expected) << "order 0x" << std::hex << c.order << ", " << std::dec << c.length
                                   << " bytes";
    }
}

TEST(ByteOrderTest, ValuesFromAHostOfTheOppositeOrder) {
    // What the other host wrote, and the tag as it reads back here.
    uint32_t tag;
    const unsigned char tag_bytes[4] = {0x01, 0x02, 0x03, 0x04};
    std::memcpy(&tag, tag_bytes, 4);
    ASSERT_EQ(tag, kByteOrderReversed) << "this test expects a little-endian host";

    const unsigned char double_bytes[8] = {0x3f, 0xf8, 0, 0, 0, 0, 0, 0};  // 1.5
    double d;
    std::memcpy(&d, double_bytes, 8);
    ByteSwap_Double(tag, &d);
    EXPECT_EQ(d, 1.5);

    const unsigned char float_bytes[4] = {0xc0, 0x20, 0, 0};  // -2.5f
    float f;
    std::memcpy(&f, float_bytes, 4);
    ByteSwap_Float(tag, &f);
    EXPECT_EQ(f, -2.5f);

    const unsigned char short_bytes[2] = {0x12, 0x34};
    uint16_t s;
    std::memcpy(&s, short_bytes, 2);
    ByteSwap_Short(tag, &s);
    EXPECT_EQ(s, 0x1234);
}

TEST(ByteOrderTest, UnknownOrderIsReportedAndLeavesTheValue) {
    MessageLog log;
    Bytes8 value{1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes8 before = value;
    ByteSwap_Short(0x04030102, value.data());
    ByteSwap_Int(0, value.data());
    ByteSwap_Float(0x01020403, value.data());
    ByteSwap_Double(0xffffffff, value.data());
    EXPECT_EQ(value, before);
    ASSERT_EQ(log.warnings().size(), 4u);
    EXPECT_EQ(log.warnings()[0], "ByteSwap_Short(): unknown byte order");
    EXPECT_EQ(log.warnings()[1], "ByteSwap_Int(): unknown byte order");
    EXPECT_EQ(log.warnings()[2], "ByteSwap_Float(): unknown byte order");
    EXPECT_EQ(log.warnings()[3], "ByteSwap_Double(): unknown byte order");
}

TEST(ByteOrderTest, GenericSwapReversesForEveryForeignTag) {
    for (const uint32_t order : {kByteOrderHalvesSwapped, kByteOrderReversed, 0x12345678u}) {
        Bytes8 value{1, 2, 3, 4, 5, 6, 7, 8};
        ByteSwap(order, value.data(), 4);
        EXPECT_EQ(value, (Bytes8{4, 3, 2, 1, 5, 6, 7, 8}));
        ByteSwap(order, value.data(), 8);
        EXPECT_EQ(value, (Bytes8{8, 7, 6, 5, 1, 2, 3, 4}));
        ByteSwap(order, value.data(), 2);
        EXPECT_EQ(value, (Bytes8{7, 8, 6, 5, 1, 2, 3, 4}));
    }
    Bytes8 value{1, 2, 3, 4, 5, 6, 7, 8};
    ByteSwap(kByteOrderNative, value.data(), 8);
    EXPECT_EQ(value, (Bytes8{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ByteOrderTest, GenericSwapRefusesOtherLengths) {
    Bytes8 value{};
    EXPECT_DEATH(ByteSwap(kByteOrderReversed, value.data(), 3), "Assertion failed, file byteswap, line");
    EXPECT_DEATH(ByteSwap(kByteOrderNative, value.data(), 16), "Assertion failed, file byteswap, line");
}

}  // namespace
}  // namespace tavri::writer
