#include "writer/region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "message_log.h"
#include "scoped_env.h"

namespace tavri::writer {
namespace {

class RegionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (RegionUsesHeapDirectly()) {
            GTEST_SKIP() << "regions go straight to the heap in this process";
        }
    }
};

TEST_F(RegionTest, CountsBlocksAndKeepsContentsOnResize) {
    Region *region = RegionOpen("counting");
    auto *zeroed = static_cast<unsigned char *>(TXW_CALLOC(region, 10, 30));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(std::count(zeroed, zeroed + 300, 0), 300);
    auto *plain = static_cast<char *>(TXW_MALLOC(region, 100));
    std::strcpy(plain, "kept across the move");
    plain = static_cast<char *>(TXW_REALLOC(region, plain, 100000));
    EXPECT_STREQ(plain, "kept across the move");
    EXPECT_EQ(RegionBytesInUse(region), 100300u);
    TXW_FREE(region, zeroed);
    EXPECT_EQ(RegionBytesInUse(region), 100000u);
    // A failed resize keeps the old block; the product overflow is caught.
    EXPECT_EQ(TXW_REALLOC(region, plain, SIZE_MAX - 8), nullptr);
    EXPECT_EQ(TXW_CALLOC(region, SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(RegionBytesInUse(region), 100000u);
    RegionClose(region);  // releases `plain` (a leak checker would tell)
}

TEST_F(RegionTest, DefaultRegionExitsWhenOutOfMemory) {
    EXPECT_EQ(RegionTryMalloc(nullptr, SIZE_MAX - 8, __FILE__, __LINE__), nullptr);
    EXPECT_EXIT(
        {
            SetMessageHooks(nullptr, [](const char *text) { std::fprintf(stderr, "error: %s", text); },
                            [](const char *text) { std::fprintf(stderr, "information: %s", text); });
            TXW_MALLOC(nullptr, SIZE_MAX - 8);
        },
        ::testing::ExitedWithCode(1),
        "information: \\.\\.\\. Insufficient memory \\.\\.\\.\nerror: \\.\\.\\. Insufficient memory");
}

TEST_F(RegionTest, FreeingAForeignBlockIsAnAssertion) {
    Region *first = RegionOpen("first");
    void *block = TXW_MALLOC(first, 8);
    EXPECT_DEATH(TXW_FREE(nullptr, block), "Assertion failed, file alloc, line");
    RegionClose(first);
}

TEST_F(RegionTest, CheckingRegionReportsAWriteBehindABlock) {
    blocks_test::ScopedEnv env;
    env.Set("VM_METHOD", "vmdebug");
    Region *region = RegionOpen("checked");
    blocks_test::MessageLog log;
    auto *sound = static_cast<char *>(TXW_MALLOC(region, 10));
    std::memset(sound, 'x', 10);
    TXW_FREE(region, sound);
    EXPECT_TRUE(log.warnings().empty());
    auto *overrun = static_cast<char *>(TXW_MALLOC(region, 10));
    overrun[10] = 'x';
    TXW_FREE(region, overrun);
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_EQ(log.warnings()[0].rfind("bad byte at 0x", 0), 0u) << log.warnings()[0];
    RegionClose(region);
}

// The heap-direct switch is read once per process: a fresh process each.
TEST(RegionSwitchTest, UseMallocTurnsOnTheHeapDirectMode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("SPS_USE_MALLOC", "1", 1);
            ::unsetenv("DISABLE_POOL_ARENA");
            Region *region = RegionOpen("direct");
            TXW_FREE(region, TXW_MALLOC(region, 32));
            const char *silence = std::getenv("PURIFY_POOL_ARENA_SILENCE");
            std::exit(RegionUsesHeapDirectly() && RegionBytesInUse(region) == 0 &&
                              std::strcmp(std::getenv("PURIFY_POOL_ARENA"), "1") == 0 && silence != nullptr
                          ? 0
                          : 2);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            ::setenv("PURIFY_POOL_ARENA", "1", 1);
            ::setenv("DISABLE_POOL_ARENA", "1", 1);
            std::exit(RegionUsesHeapDirectly() ? 2 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tavri::writer
