#include "writer/fix_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "scoped_env.h"
#include "writer/region.h"

namespace tavri::writer {
namespace {

bool Listed(const traxFixPool *pool) {
    for (const traxFixPool *p = traxFixPool_First(); p != nullptr; p = p->next) {
        if (p == pool) {
            return true;
        }
    }
    return false;
}

class FixPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegionInit();  // settle the process-wide switch before touching the environment
        env_.Unset("PURIFY_POOL_ARENA");
        env_.Unset("PURIFY_POOL_ARENA_SILENCE");
    }
    blocks_test::ScopedEnv env_;
};

TEST_F(FixPoolTest, SizesAreRoundedUp) {
    const size_t cases[][3] = {{0, 8, 4096}, {13, 16, 4096}, {4088, 4088, 4096}, {4089, 4096, 8192}};
    for (const auto &c : cases) {
        traxFixPool *pool = traxFixPool_Create("sizes", c[0]);
        EXPECT_EQ(pool->element_size, c[1]) << c[0];
        EXPECT_EQ(pool->chunk_size, c[2]) << c[0];
        std::memset(traxFixPool_Get(pool), 0x5a, pool->element_size);
        traxFixPool_Destroy(pool);
    }
}

TEST_F(FixPoolTest, FreeListFirstThenCarvingThenNewChunks) {
    traxFixPool *pool = traxFixPool_Create("reuse", 20);
    char *a = static_cast<char *>(traxFixPool_Get(pool));
    char *b = static_cast<char *>(traxFixPool_Get(pool));
    EXPECT_EQ(b - a, 24);
    traxFixPool_Put(pool, a);
    traxFixPool_Put(pool, b);
    EXPECT_EQ(traxFixPool_Get(pool), b);
    EXPECT_EQ(traxFixPool_Get(pool), a);
    EXPECT_EQ(static_cast<char *>(traxFixPool_Get(pool)), b + 24);
    for (size_t i = 3; i < (4096 - 8) / 24; ++i) {
        traxFixPool_Get(pool);
    }
    EXPECT_EQ(pool->chunk_count, 1u);
    traxFixPool_Get(pool);
    EXPECT_EQ(pool->chunk_count, 2u);
    EXPECT_EQ(pool->taken, 171u + 2);
    EXPECT_EQ(pool->returned, 2u);
    traxFixPool_Destroy(pool);
}

TEST_F(FixPoolTest, PoolsAreNamedAndListedUntilDestroyed) {
    EXPECT_EQ(traxFixPool_Create(nullptr, 16), nullptr);
    char name[] = "first";
    traxFixPool *first = traxFixPool_Create(name, 8);
    name[0] = 'X';
    EXPECT_STREQ(first->name, "first");
    traxFixPool *second = traxFixPool_Create("second", 8);
    traxFixPool *third = traxFixPool_Create("third", 8);
    traxFixPool_Destroy(second);  // from the middle
    EXPECT_TRUE(Listed(first) && !Listed(second) && Listed(third));
    traxFixPool_Destroy(third);  // the head
    EXPECT_TRUE(Listed(first) && !Listed(third));
    traxFixPool_Destroy(first);
    EXPECT_FALSE(Listed(first));
}

TEST_F(FixPoolTest, PurifyArenaGivesEveryElementItsOwnBlock) {
    env_.Set("PURIFY_POOL_ARENA", "1");
    env_.Set("DISABLE_POOL_ARENA", "1");  // not consulted by fixed pools
    ::testing::internal::CaptureStderr();
    traxFixPool *pool = traxFixPool_Create("purify", 40);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "!!! PURIFY_POOL_ARENA is Enable !!!\n");
    ASSERT_TRUE(pool->heap_elements);
    std::vector<char *> elements;
    for (int i = 0; i < 5; ++i) {
        elements.push_back(static_cast<char *>(traxFixPool_Get(pool)));
        std::memset(elements.back(), i, 40);
    }
    traxFixPool_Put(pool, elements[4]);  // list head
    traxFixPool_Put(pool, elements[2]);  // middle
    traxFixPool_Put(pool, elements[0]);  // end
    EXPECT_EQ(elements[1][39], 1);
    EXPECT_EQ(pool->chunk_count, 0u);
    traxFixPool_Destroy(pool);  // frees the two still out

    env_.Set("PURIFY_POOL_ARENA_SILENCE", "1");
    ::testing::internal::CaptureStderr();
    pool = traxFixPool_Create("quiet", 8);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    traxFixPool_Destroy(pool);
}

}  // namespace
}  // namespace tavri::writer
