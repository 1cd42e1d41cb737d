#include "writer/fix_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "scoped_env.h"
#include "writer/region.h"

namespace tavri::writer {
namespace {

using blocks_test::ScopedEnv;

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
        RegionInit();  // settle the process-wide switch before the tests touch the environment
        env_.Unset("PURIFY_POOL_ARENA");
        env_.Unset("PURIFY_POOL_ARENA_SILENCE");
    }
    ScopedEnv env_;
};

TEST_F(FixPoolTest, SizesAreRoundedUp) {
    struct Case {
        size_t asked, element, chunk;
    };
    for (const Case c : {Case{1, 8, 4096}, Case{8, 8, 4096}, Case{13, 16, 4096}, Case{0, 8, 4096},
                         Case{4088, 4088, 4096}, Case{4089, 4096, 8192}, Case{4096, 4096, 8192},
                         Case{8190, 8192, 12288}}) {
        traxFixPool *pool = traxFixPool_Create("sizes", c.asked);
        ASSERT_NE(pool, nullptr);
        EXPECT_EQ(pool->element_size, c.element) << "asked " << c.asked;
        EXPECT_EQ(pool->chunk_size, c.chunk) << "asked " << c.asked;
        // Every chunk holds at least one element.
        void *element = traxFixPool_Get(pool);
        EXPECT_NE(element, nullptr);
        std::memset(element, 0x5a, pool->element_size);
        traxFixPool_Destroy(pool);
    }
}

TEST_F(FixPoolTest, ReturnedElementsAreHandedOutFirst) {
    traxFixPool *pool = traxFixPool_Create("reuse", 20);
    ASSERT_NE(pool, nullptr);
    void *a = traxFixPool_Get(pool);
    void *b = traxFixPool_Get(pool);
    void *c = traxFixPool_Get(pool);
    EXPECT_EQ(static_cast<char *>(b) - static_cast<char *>(a), 24);
    traxFixPool_Put(pool, a);
    traxFixPool_Put(pool, c);
    EXPECT_EQ(traxFixPool_Get(pool), c);
    EXPECT_EQ(traxFixPool_Get(pool), a);
    void *d = traxFixPool_Get(pool);
    EXPECT_EQ(static_cast<char *>(d) - static_cast<char *>(c), 24) << "carving goes on after the free list";
    EXPECT_EQ(pool->taken, 6u);
    EXPECT_EQ(pool->returned, 2u);
    traxFixPool_Put(pool, nullptr);
    EXPECT_EQ(pool->returned, 2u);
    traxFixPool_Destroy(pool);
}

TEST_F(FixPoolTest, NewChunkWhenTheCurrentOneIsUsedUp) {
    traxFixPool *pool = traxFixPool_Create("chunks", 24);
    ASSERT_NE(pool, nullptr);
    const size_t per_chunk = (4096 - 8) / 24;
    std::vector<char *> elements;
    for (size_t i = 0; i < per_chunk; ++i) {
        elements.push_back(static_cast<char *>(traxFixPool_Get(pool)));
    }
    EXPECT_EQ(pool->chunk_count, 1u);
    elements.push_back(static_cast<char *>(traxFixPool_Get(pool)));
    EXPECT_EQ(pool->chunk_count, 2u);
    for (size_t i = 0; i < elements.size(); ++i) {
        std::memset(elements[i], static_cast<int>(i), 24);
    }
    std::vector<char *> sorted = elements;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i) {
        EXPECT_GE(sorted[i] - sorted[i - 1], 24) << "elements overlap";
    }
    for (size_t i = 0; i < elements.size(); ++i) {
        EXPECT_EQ(elements[i][23], static_cast<char>(i));
    }
    traxFixPool_Destroy(pool);
}

TEST_F(FixPoolTest, NamedRegionSuppliesTheChunks) {
    if (RegionUsesHeapDirectly()) {
        GTEST_SKIP() << "regions go straight to the heap in this process";
    }
    Region *region = RegionOpen("fixpool");
    traxFixPool *pool = traxFixPool_Create("in region", 100, region);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->region, region);
    const size_t before = RegionBytesInUse(region);
    traxFixPool_Get(pool);
    EXPECT_EQ(RegionBytesInUse(region), before + pool->chunk_size);
    traxFixPool_Destroy(pool);
    EXPECT_EQ(RegionBytesInUse(region), 0u) << "the record, the name and the chunks all go back";
    RegionClose(region);
}

TEST_F(FixPoolTest, NameIsRequiredAndCopied) {
    EXPECT_EQ(traxFixPool_Create(nullptr, 16), nullptr);
    char name[] = "original";
    traxFixPool *pool = traxFixPool_Create(name, 16);
    ASSERT_NE(pool, nullptr);
    name[0] = 'X';
    EXPECT_STREQ(pool->name, "original");
    traxFixPool_Destroy(pool);
}

TEST_F(FixPoolTest, PoolsAreListedUntilDestroyed) {
    traxFixPool *first = traxFixPool_Create("first", 8);
    traxFixPool *second = traxFixPool_Create("second", 8);
    traxFixPool *third = traxFixPool_Create("third", 8);
    EXPECT_TRUE(Listed(first) && Listed(second) && Listed(third));
    traxFixPool_Destroy(second);  // from the middle
    EXPECT_TRUE(Listed(first));
    EXPECT_FALSE(Listed(second));
    EXPECT_TRUE(Listed(third));
    traxFixPool_Destroy(third);  // the head
    EXPECT_TRUE(Listed(first));
    EXPECT_FALSE(Listed(third));
    traxFixPool_Destroy(first);
    EXPECT_FALSE(Listed(first));
    traxFixPool_Destroy(nullptr);
}

TEST_F(FixPoolTest, PurifyArenaGivesEveryElementItsOwnBlock) {
    env_.Set("PURIFY_POOL_ARENA", "1");
    ::testing::internal::CaptureStderr();
    traxFixPool *pool = traxFixPool_Create("purify", 40);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "!!! PURIFY_POOL_ARENA is Enable !!!\n");
    ASSERT_NE(pool, nullptr);
    EXPECT_TRUE(pool->heap_elements);

    std::vector<char *> elements;
    for (int i = 0; i < 200; ++i) {
        elements.push_back(static_cast<char *>(traxFixPool_Get(pool)));
        ASSERT_NE(elements.back(), nullptr);
        std::memset(elements.back(), i, 40);
    }
    EXPECT_EQ(pool->chunk_count, 0u) << "no chunks are carved";
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(elements[i][39], static_cast<char>(i));
    }
    // Returned blocks are freed and taken off the list, from its head, its
    // middle and its end.
    traxFixPool_Put(pool, elements[199]);
    traxFixPool_Put(pool, elements[100]);
    traxFixPool_Put(pool, elements[0]);
    size_t listed = 0;
    for (auto *header = static_cast<void **>(pool->heap_list); header != nullptr;
         header = static_cast<void **>(header[1])) {
        ++listed;
    }
    EXPECT_EQ(listed, 197u);
    EXPECT_EQ(pool->taken, 200u);
    EXPECT_EQ(pool->returned, 3u);
    traxFixPool_Destroy(pool);
}

TEST_F(FixPoolTest, PurifyArenaBannerCanBeSilenced) {
    env_.Set("PURIFY_POOL_ARENA", "1");
    env_.Set("PURIFY_POOL_ARENA_SILENCE", "1");
    ::testing::internal::CaptureStderr();
    traxFixPool *pool = traxFixPool_Create("quiet", 8);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(pool, nullptr);
    EXPECT_TRUE(pool->heap_elements);
    traxFixPool_Destroy(pool);
}

TEST_F(FixPoolTest, DisablePoolArenaDoesNotApplyToFixedPools) {
    env_.Set("PURIFY_POOL_ARENA", "1");
    env_.Set("PURIFY_POOL_ARENA_SILENCE", "1");
    env_.Set("DISABLE_POOL_ARENA", "1");
    traxFixPool *pool = traxFixPool_Create("still purify", 8);
    ASSERT_NE(pool, nullptr);
    EXPECT_TRUE(pool->heap_elements);
    traxFixPool_Destroy(pool);
}

}  // namespace
}  // namespace tavri::writer
