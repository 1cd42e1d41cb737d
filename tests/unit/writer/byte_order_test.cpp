#include "writer/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "message_log.h"

namespace tavri::writer {
namespace {

using Bytes = std::array<unsigned char, 8>;

TEST(ByteOrderTest, IntFromHalvesSwappedOrder) {
    Bytes value{0x11, 0x22, 0x33, 0x44};  // 0x11223344, most significant byte first
    ByteSwap_Int(kByteOrderHalvesSwapped, value.data());
    EXPECT_EQ(value, (Bytes{0x22, 0x11, 0x44, 0x33}));
}

TEST(ByteOrderTest, EachSizeInEachOrder) {
    struct Case {
        uint32_t order;
        void (*convert)(uint32_t, void *);
        Bytes expected;  // from 1 2 3 4 5 6 7 8; bytes past the value stay
    };
    const Case cases[] = {
        {kByteOrderNative, ByteSwap_Double, {1, 2, 3, 4, 5, 6, 7, 8}},
        {kByteOrderHalvesSwapped, ByteSwap_Short, {2, 1, 3, 4, 5, 6, 7, 8}},
        {kByteOrderHalvesSwapped, ByteSwap_Float, {2, 1, 4, 3, 5, 6, 7, 8}},
        {kByteOrderHalvesSwapped, ByteSwap_Double, {8, 7, 6, 5, 4, 3, 2, 1}},
        {kByteOrderReversed, ByteSwap_Short, {2, 1, 3, 4, 5, 6, 7, 8}},
        {kByteOrderReversed, ByteSwap_Int, {4, 3, 2, 1, 5, 6, 7, 8}},
        {kByteOrderReversed, ByteSwap_Double, {8, 7, 6, 5, 4, 3, 2, 1}},
    };
    for (const Case &c : cases) {
        Bytes value{1, 2, 3, 4, 5, 6, 7, 8};
        c.convert(c.order, value.data());
        EXPECT_EQ(value, c.expected) << "order 0x" << std::hex << c.order;
    }
}

TEST(ByteOrderTest, UnknownOrderIsReportedAndLeavesTheValue) {
    blocks_test::MessageLog log;
    Bytes value{1, 2, 3, 4, 5, 6, 7, 8};
    ByteSwap_Short(0x04030102, value.data());
    ByteSwap_Int(0, value.data());
    ByteSwap_Float(0x01020403, value.data());
    ByteSwap_Double(0xffffffff, value.data());
    EXPECT_EQ(value, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(log.warnings(), (std::vector<std::string>{
                                  "ByteSwap_Short(): unknown byte order", "ByteSwap_Int(): unknown byte order",
                                  "ByteSwap_Float(): unknown byte order", "ByteSwap_Double(): unknown byte order"}));
}

TEST(ByteOrderTest, GenericSwapReversesForEveryForeignTag) {
    Bytes value{1, 2, 3, 4, 5, 6, 7, 8};
    ByteSwap(kByteOrderHalvesSwapped, value.data(), 4);
    ByteSwap(0x12345678, value.data(), 8);
    ByteSwap(kByteOrderNative, value.data(), 2);
    EXPECT_EQ(value, (Bytes{8, 7, 6, 5, 1, 2, 3, 4}));
    EXPECT_DEATH(ByteSwap(kByteOrderReversed, value.data(), 3), "Assertion failed, file byteswap");
}

}  // namespace
}  // namespace tavri::writer
