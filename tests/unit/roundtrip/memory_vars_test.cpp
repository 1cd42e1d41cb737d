// The variables of a memory dump through the writer and the reader: a
// memory-depth variable (type 18, data type 2, two 32-bit words a value)
// keeps every value written, also a repeated one, and reads back as integer
// words; a memory cell (type 17) drops a value equal to its last one.
#include "roundtrip_util.h"

namespace tavri::test {
namespace {

class MemoryVars : public RoundTripTest {};

TEST_F(MemoryVars, DepthKeepsRepeatsAndReadsAsWordsWhileCellsDropThem) {
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    int depth_key = 0;
    int cell_key = 0;
    txwVarMapRec *depth = txw_CreateVarByHandle(obj, 18, 0, 2, 0, 1, &depth_key, "mem[0:15]", 2);
    txwVarMapRec *cell = txw_CreateVarByHandle(obj, 17, 0, 0, 39, 0, &cell_key, "mem[3]", 0);
    ASSERT_NE(depth, nullptr);
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(txw_EndTree(obj), 0);
    const std::string word = std::string(20, '1') + std::string(10, 'x') + std::string(10, 'z');
    const int32_t ranges[][2] = {{3, 3}, {3, 3}, {-2, 15}};
    for (uint64_t t = 0; t < 3; ++t) {
        txw_CreateXCoor(obj, 0, static_cast<uint32_t>(10 * t));
        int32_t range[2] = {ranges[t][0], ranges[t][1]};
        EXPECT_EQ(txw_CreateVarValueByVarHdl(obj, &depth_key, range), 0);
        ABBus(obj, cell->idcode, t < 2 ? word : std::string(40, '0'));
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    traxrVar var{};
    ASSERT_EQ(traxr_GetVar(file.reader, 0, &var), TRAXR_OK);
    EXPECT_EQ(var.type_code, 18);
    EXPECT_EQ(var.data_type, 2);
    EXPECT_EQ(var.value_size, 8u);
    traxrChangeList *list = nullptr;
    ASSERT_EQ(traxr_ReadChanges(file.reader, depth->idcode, &list), TRAXR_OK) << traxr_LastMessage(file.reader);
    ASSERT_EQ(traxr_ChangeCount(list), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        traxrChange change{};
        ASSERT_EQ(traxr_GetChange(list, i, &change), TRAXR_OK);
        EXPECT_EQ(change.time, 10u * i);
        ASSERT_EQ(change.kind, TRAXR_VALUE_WORDS);
        ASSERT_EQ(change.word_count, 2u);
        EXPECT_EQ(change.words[0], ranges[i][0]);
        EXPECT_EQ(change.words[1], ranges[i][1]);
    }
    traxr_FreeChangeList(list);
    EXPECT_EQ(file.Changes(cell->idcode), (std::vector<Seen>{At(0, word), At(20, std::string(40, '0'))}));
}

}  // namespace
}  // namespace tavri::test
