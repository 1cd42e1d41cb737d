// A bus value without x or z bits is written in the compact form (the first
// word of each pair only), built in the writer's scratch area together with
// the element's head, time delta and sequence number. A bus of 32768 bits
// or more makes that element larger than the area; its values must still
// come back whole, and the writer's own state after the area must survive.
#include "roundtrip_util.h"

namespace tavri::test {
namespace {

struct WideBusRow {
    uint32_t width;
    uint64_t second_time;  // a delta of 0x10000 or more takes four bytes
};

class WideBus : public RoundTripTest, public ::testing::WithParamInterface<WideBusRow> {};

TEST_P(WideBus, CompactValuesLargerThanTheScratchAreaComeBackWhole) {
    const WideBusRow row = GetParam();
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, static_cast<int32_t>(row.width) - 1, 0, 1, "bus", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    // Words whose bytes read the same either way round, so that the text
    // does not depend on the order of the bits in a word; no b bits.
    const auto values = [&](uint32_t word) {
        std::vector<uint32_t> pairs(row.width / 16, 0);
        for (size_t i = 0; i < pairs.size(); i += 2) pairs[i] = word;
        return pairs;
    };
    std::vector<uint32_t> first_words = values(0x81818181u);
    std::vector<uint32_t> second_words = values(0x3C3C3C3Cu);
    std::string first;
    std::string second;
    for (uint32_t i = 0; i < row.width / 8; ++i) {
        first += "10000001";
        second += "00111100";
    }
    txw_CreateXCoor(obj, 0, 1);
    txw_CreateABBusValueByIdcode(obj, 1, first_words.data(), row.width);
    txw_CreateXCoor(obj, 0, static_cast<uint32_t>(row.second_time));
    txw_CreateABBusValueByIdcode(obj, 1, second_words.data(), row.width);
    txw_Flush(obj);
    txw_CreateXCoor(obj, 0, static_cast<uint32_t>(row.second_time) + 1);
    txw_CreateABBusValueByIdcode(obj, 1, first_words.data(), row.width);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Changes(1), (std::vector<Seen>{At(1, first), At(row.second_time, second),
                                                  At(row.second_time + 1, first)}));
}

INSTANTIATE_TEST_SUITE_P(Widths, WideBus,
                         ::testing::Values(WideBusRow{32736, 2}, WideBusRow{32768, 0x10001},
                                           WideBusRow{65536, 0x10001}),
                         [](const ::testing::TestParamInfo<WideBusRow> &row_info) {
                             return "W" + std::to_string(row_info.param.width) + "_T" +
                                    std::to_string(row_info.param.second_time);
                         });

}  // namespace
}  // namespace tavri::test
