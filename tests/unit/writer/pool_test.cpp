#include "writer/pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "message_log.h"

namespace tavri::writer {
namespace {

using blocks_test::MessageLog;

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
    EXPECT_EQ(pool->chunk_bytes, 8192u * 16 + sizeof(void *));
    const std::vector<char *> elements = Take(pool, 8193);

    // The first chunk is zeroed and its elements follow each other.
    for (size_t i = 0; i < 8192; ++i) {
        ASSERT_EQ(elements[i], elements[0] + 16 * i) << "element " << i;
        ASSERT_EQ(std::memcmp(elements[i], std::vector<char>(16, 0).data(), 16), 0) << "element " << i;
    }
    EXPECT_TRUE(elements[8192] < elements[0] || elements[8192] >= elements[8191] + 16)
        << "the 8193rd element must lie outside the first chunk";
    EXPECT_NE(pool->current_chunk, pool->first_chunk);
    EXPECT_EQ(pool->elements_left, 8191u);

    // Elements do not overlap: stamp each one and read the stamps back.
    for (size_t i = 0; i < elements.size(); ++i) {
        std::memset(elements[i], static_cast<int>(i % 251), 16);
    }
    const std::vector<char *> walked = Walk(pool);
    ASSERT_EQ(walked, elements);
    for (size_t i = 0; i < walked.size(); ++i) {
        ASSERT_EQ(walked[i][0], static_cast<char>(i % 251));
        ASSERT_EQ(walked[i][15], static_cast<char>(i % 251));
    }
    traxPoolObj_Destroy(pool);
}

TEST(PoolTest, IterationYieldsOnlyTheElementsHandedOut) {
    traxPoolObj *pool = traxPoolObj_Create(24, 10);
    ASSERT_NE(pool, nullptr);
    EXPECT_TRUE(Walk(pool).empty());

    const std::vector<char *> three = Take(pool, 3);
    EXPECT_EQ(Walk(pool), three);
    EXPECT_EQ(traxPoolObj_IterateNext(pool), nullptr) << "stays at the end";

    // Exactly one full chunk: the walk must not run into the next chunk.
    std::vector<char *> ten = three;
    for (char *element : Take(pool, 7)) {
        ten.push_back(element);
    }
    EXPECT_EQ(Walk(pool), ten);

    // Elements handed out while walking are walked too.
    traxPoolObj_IterateBegin(pool);
    for (int i = 0; i < 10; ++i) {
        ASSERT_NE(traxPoolObj_IterateNext(pool), nullptr);
    }
    char *late = static_cast<char *>(traxPoolObj_GetOneElement(pool));
    EXPECT_EQ(traxPoolObj_IterateNext(pool), late);
    EXPECT_EQ(traxPoolObj_IterateNext(pool), nullptr);
    traxPoolObj_Destroy(pool);
}

TEST(PoolTest, ResetHandsOutTheSameChunksAgain) {
    traxPoolObj *pool = traxPoolObj_Create(8, 4);
    ASSERT_NE(pool, nullptr);
    const std::vector<char *> first_round = Take(pool, 9);  // three chunks
    traxPoolObj_Reset(pool);
    EXPECT_TRUE(Walk(pool).empty());
    const std::vector<char *> second_round = Take(pool, 9);
    EXPECT_EQ(second_round, first_round);
    // Growing past the chunks kept appends a new one.
    char *tenth = static_cast<char *>(traxPoolObj_GetOneElement(pool));
    EXPECT_NE(tenth, nullptr);
    for (char *element : first_round) {
        EXPECT_NE(tenth, element);
    }
    traxPoolObj_Reset(pool);
    const std::vector<char *> two = Take(pool, 2);
    EXPECT_EQ(Walk(pool), two) << "only what was handed out since the reset";
    traxPoolObj_Destroy(pool);
}

TEST(PoolTest, ZeroSizesAreRefused) {
    MessageLog log;
    EXPECT_EQ(traxPoolObj_Create(0, 10), nullptr);
    EXPECT_EQ(traxPoolObj_Create(10, 0), nullptr);
    EXPECT_EQ(log.warnings().size(), 2u);
    traxPoolObj_Destroy(nullptr);
}

}  // namespace
}  // namespace tavri::writer
