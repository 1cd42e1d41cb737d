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

}  // namespace
}  // namespace tavri::writer
