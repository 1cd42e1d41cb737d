// The value-change memory of a writer left at its defaults stays bounded: a
// long run flushes sessions instead of growing.
#include <algorithm>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"
#include "writer/vc_mem_pool.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

TEST_F(WriterTest, DefaultMemoryHoldsAtMostSixteenMegabytesOfChanges) {
    txwObject *obj = txw_OpenFile(Path("bound.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(txw_BeginTree(obj));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 63, 0, 1, "b", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    // 32 bytes per change: 24 MB of changes in all.
    constexpr uint32_t kChanges = 24u << 15;
    uint32_t most_chunks = 0;
    for (uint32_t t = 1; t <= kChanges; ++t) {
        txw_CreateXCoor(obj, 0, t);
        uint32_t words[4] = {t, 0, ~t, 0};
        ASSERT_EQ(txw_CreateABBusValueByIdcode(obj, 1, words, 64), 0);
        most_chunks = std::max(most_chunks, VcChunksInUse(obj->vc_memory));
    }
    EXPECT_LE(most_chunks, 16u);
    EXPECT_GE(most_chunks, 15u) << "the memory is used before it is flushed";
    EXPECT_GE(obj->header.U32(kHdrSessionCount), 1u) << "a session was flushed while changes came";
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::test
