#include "writer/pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "message_log.h"

namespace tavri::writer {
namespace {

std::vector<char *> Take(traxPoolObj *pool, size_t count) {
    std::vector<char *> elements;
    for (size_t i = 0; i < count; ++i) {
        elements.push_back(static_cast<char *>(traxPoolObj_GetOneElement(pool)));
    }
    return elements;
}

std::vector<char *> Walk(traxPoolObj *pool) {
    std::vector<char *> elements;
    traxPoolObj_IterateBegin(pool);
    while (void *element = traxPoolObj_IterateNext(pool)) {
        elements.push_back(static_cast<char *>(element));
    }
    return elements;
}

TEST(PoolTest, SecondChunkOpensAfterTheFirstIsUsedUp) {
    traxPoolObj *pool = traxPoolObj_Create(16, 8192);
    ASSERT_NE(pool, nullptr);
    const std::vector<char *> elements = Take(pool, 8193);
    for (size_t i = 0; i < 8192; ++i) {
        ASSERT_EQ(elements[i], elements[0] + 16 * i) << i;
    }
    EXPECT_TRUE(elements[8192] < elements[0] || elements[8192] > elements[8191]);
    EXPECT_NE(pool->current_chunk, pool->first_chunk);
    for (size_t i = 0; i < elements.size(); ++i) {
        std::memset(elements[i], static_cast<int>(i % 251), 16);  // overlaps would show
    }
    const std::vector<char *> walked = Walk(pool);
    ASSERT_EQ(walked, elements);
    for (size_t i = 0; i < walked.size(); ++i) {
        ASSERT_EQ(walked[i][15], static_cast<char>(i % 251)) << i;
    }
    traxPoolObj_Destroy(pool);
}

TEST(PoolTest, WalkStopsAtTheLastElementHandedOutAndResetReuses) {
    traxPoolObj *pool = traxPoolObj_Create(8, 4);
    EXPECT_TRUE(Walk(pool).empty());
    const std::vector<char *> four = Take(pool, 4);  // exactly one full chunk
    EXPECT_EQ(Walk(pool), four);
    const std::vector<char *> nine = Take(pool, 5);
    traxPoolObj_Reset(pool);
    EXPECT_TRUE(Walk(pool).empty());
    EXPECT_EQ(Take(pool, 4), four) << "the chunks are handed out again";
    EXPECT_EQ(Take(pool, 5), nine);
    traxPoolObj_Destroy(pool);
    blocks_test::MessageLog log;
    EXPECT_EQ(traxPoolObj_Create(0, 4), nullptr);
    EXPECT_EQ(log.warnings().size(), 1u);
}

// 65535 * 0x10000000 bytes do not fit in a 32-bit size_t: the product must not
// wrap around to a small chunk that the pool then overruns.
TEST(PoolTest, ChunkBeyondTheAddressSpaceIsRefused) {
    if (sizeof(size_t) > 4) {
        GTEST_SKIP() << "every chunk size fits in a 64-bit size_t";
    }
    blocks_test::MessageLog log;
    EXPECT_EQ(traxPoolObj_Create(0xFFFF, 0x10000000u), nullptr);
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_EQ(log.warnings()[0], "traxPoolObj_Create(): failed to allocate memory.\n");
}

}  // namespace
}  // namespace tavri::writer
