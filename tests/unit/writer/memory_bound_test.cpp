// The value-change memory of a writer left at its defaults stays bounded: a
// long run flushes sessions instead of growing, and the bound follows the
// number of variables.
#include <algorithm>
#include <string>

#include "scoped_env.h"
#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"
#include "writer/vc_mem_pool.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

// Opens a file with one tree of `count` two-bit variables.
txwObject *OpenWithVariables(const std::string &path, uint32_t count) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    if (obj == nullptr || !txw_BeginTree(obj)) {
        return obj;
    }
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    txw_CreateScope(obj, &scope);
    for (uint32_t i = 0; i < count; ++i) {
        txw_CreateVarByVarIdcode(obj, 4, 0, 0, 1, 0, static_cast<int32_t>(i + 1), ("v" + std::to_string(i)).c_str(), 0);
    }
    txw_EndTree(obj);
    return obj;
}

TEST(DefaultMemLimitTest, GrowsWithTheVariablesWithinItsBounds) {
    const uint32_t cases[][2] = {{0, 6},     {1, 6},     {8192, 6},     {8193, 7},
                                 {12002, 9}, {21845, 16}, {21846, 16}, {5000000, 16}};
    for (const auto &test : cases) {
        EXPECT_EQ(DefaultMemLimit(test[0]), test[1]) << test[0] << " idcodes";
    }
}

TEST_F(WriterTest, EndTreeScalesTheDefaultLimit) {
    txwObject *obj = OpenWithVariables(Path("scaled.trax"), 12002);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->header.U32(kHdrWriterMemLimit), 9u);
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

// A later tree raises a default limit as far as its idcodes call for, and
// leaves a limit the user chose alone; it never lifts the bound to 128 MB.
TEST_F(WriterTest, LaterTreesKeepTheMemoryBounded) {
    struct Case {
        const char *name;
        const char *environment;  // TRAX_ENV_WRITER_MEM_LIMIT
        uint32_t set_limit;       // txw_SetValueChangeMemLimit after the first tree; 0: none
        uint32_t expected;
    };
    const Case cases[] = {
        {"default", nullptr, 0, 8},
        {"from the environment", "2", 0, 2},
        {"set by the caller", nullptr, 2, 2},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        ScopedEnv environment("TRAX_ENV_WRITER_MEM_LIMIT", test.environment);
        txwObject *obj = OpenWithVariables(Path("trees.trax"), 10);
        ASSERT_NE(obj, nullptr);
        if (test.set_limit != 0) {
            ASSERT_EQ(txw_SetValueChangeMemLimit(obj, test.set_limit), 0);
        }
        ASSERT_TRUE(txw_BeginTree(obj));
        txwScopeDesc scope{"more", nullptr, nullptr, 0, 0};
        ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
        for (int32_t idcode = 11; idcode <= 10000; ++idcode) {
            ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 1, 0, idcode, "w", 0), idcode);
        }
        ASSERT_EQ(txw_EndTree(obj), 0);
        EXPECT_EQ(obj->header.U32(kHdrWriterMemLimit), test.expected);
        EXPECT_EQ(txw_CloseFile(obj), 0);
    }
}

TEST_F(WriterTest, DefaultMemoryIsUsedThenFlushedNotGrown) {
    txwObject *obj = txw_OpenFile(Path("bound.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(txw_BeginTree(obj));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 63, 0, 1, "b", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    // 32 bytes per change: 8 MB of changes in all.
    constexpr uint32_t kChanges = 8u << 15;
    uint32_t most_chunks = 0;
    for (uint32_t t = 1; t <= kChanges; ++t) {
        txw_CreateXCoor(obj, 0, t);
        uint32_t words[4] = {t, 0, ~t, 0};
        ASSERT_EQ(txw_CreateABBusValueByIdcode(obj, 1, words, 64), 0);
        most_chunks = std::max(most_chunks, VcChunksInUse(obj->vc_memory));
    }
    EXPECT_EQ(most_chunks, kSmallestDefaultMemLimit) << "the memory is used up before it is flushed";
    EXPECT_GE(obj->header.U32(kHdrSessionCount), 1u) << "a session was flushed while changes came";
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::test
