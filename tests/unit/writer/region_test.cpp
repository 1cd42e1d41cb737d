#include "writer/region.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "message_log.h"
#include "scoped_env.h"
#include "writer/messages.h"

namespace tavri::writer {
namespace {

using blocks_test::MessageLog;
using blocks_test::ScopedEnv;

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
    ASSERT_NE(region, nullptr);
    EXPECT_STREQ(RegionName(region), "counting");

    auto *zeroed = static_cast<unsigned char *>(TXW_CALLOC(region, 10, 30));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(zeroed[i], 0) << "byte " << i;
    }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(zeroed) % 16, 0u);
    auto *plain = static_cast<char *>(TXW_MALLOC(region, 100));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(RegionBytesInUse(region), 400u);

    std::strcpy(plain, "kept across the move");
    plain = static_cast<char *>(TXW_REALLOC(region, plain, 100000));
    ASSERT_NE(plain, nullptr);
    EXPECT_STREQ(plain, "kept across the move");
    EXPECT_EQ(RegionBytesInUse(region), 100300u);

    TXW_FREE(region, zeroed);
    EXPECT_EQ(RegionBytesInUse(region), 100000u);
    // Closing releases the block still allocated (a leak checker would
    // report it otherwise).
    RegionClose(region);
}

TEST_F(RegionTest, ResizingNullAllocatesAndFreeingNullDoesNothing) {
    Region *region = RegionOpen("resize");
    void *block = TXW_REALLOC(region, nullptr, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(RegionBytesInUse(region), 64u);
    TXW_FREE(region, nullptr);
    EXPECT_EQ(RegionBytesInUse(region), 64u);
    RegionClose(region);
}

TEST_F(RegionTest, NullMeansTheDefaultRegion) {
    const size_t before = RegionBytesInUse(nullptr);
    void *block = TXW_MALLOC(nullptr, 48);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(RegionBytesInUse(RegionDefault()), before + 48);
    TXW_FREE(RegionDefault(), block);
    EXPECT_EQ(RegionBytesInUse(nullptr), before);
    RegionClose(nullptr);  // the default region stays open
    RegionClose(RegionDefault());
    void *again = TXW_MALLOC(nullptr, 8);
    EXPECT_NE(again, nullptr);
    TXW_FREE(nullptr, again);
}

TEST_F(RegionTest, NamedRegionReturnsNullWhenTheSizeCannotBeMet) {
    Region *region = RegionOpen("huge");
    EXPECT_EQ(TXW_CALLOC(region, SIZE_MAX / 2, 4), nullptr);  // count × size overflows
    EXPECT_EQ(TXW_MALLOC(region, SIZE_MAX - 8), nullptr);
    void *block = TXW_MALLOC(region, 16);
    EXPECT_EQ(TXW_REALLOC(region, block, SIZE_MAX - 8), nullptr);
    EXPECT_EQ(RegionBytesInUse(region), 16u) << "a failed resize keeps the old block";
    TXW_FREE(region, block);
    RegionClose(region);
}

TEST_F(RegionTest, TryVariantsReturnNullEvenInTheDefaultRegion) {
    EXPECT_EQ(RegionTryCalloc(nullptr, SIZE_MAX / 2, 4, __FILE__, __LINE__), nullptr);
    EXPECT_EQ(RegionTryMalloc(nullptr, SIZE_MAX - 8, __FILE__, __LINE__), nullptr);
}

void PrintInformation(const char *text) { std::fprintf(stderr, "information: %s", text); }
void PrintError(const char *text) { std::fprintf(stderr, "error: %s", text); }

TEST_F(RegionTest, DefaultRegionExitsWhenOutOfMemory) {
    EXPECT_EXIT(
        {
            SetInformationSwitch(false);
            SetMessageHooks(nullptr, &PrintError, &PrintInformation);
            TXW_MALLOC(nullptr, SIZE_MAX - 8);
        },
        ::testing::ExitedWithCode(1),
        "information: \\.\\.\\. Insufficient memory \\.\\.\\.\n"
        "error: \\.\\.\\. Insufficient memory \\.\\.\\.\n");
    EXPECT_EXIT(
        {
            SetInformationSwitch(true);
            TXW_CALLOC(nullptr, SIZE_MAX / 2, 4);
        },
        ::testing::ExitedWithCode(1), "^\\*ERROR\\* \\.\\.\\. Insufficient memory \\.\\.\\.\n$");
}

TEST_F(RegionTest, FreeingAForeignBlockIsAnAssertion) {
    Region *first = RegionOpen("first");
    Region *second = RegionOpen("second");
    void *block = TXW_MALLOC(first, 8);
    EXPECT_DEATH(TXW_FREE(second, block), "Assertion failed, file alloc, line");
    EXPECT_DEATH(TXW_FREE(nullptr, block), "Assertion failed, file alloc, line");
    RegionClose(first);
    RegionClose(second);
}

TEST_F(RegionTest, CheckingRegionReportsAWriteBehindABlock) {
    ScopedEnv env;
    env.Set("VM_METHOD", "VMDEBUG");
    Region *region = RegionOpen("checked");
    env.Unset("VM_METHOD");
    MessageLog log;

    auto *sound = static_cast<char *>(TXW_MALLOC(region, 10));
    std::memset(sound, 'x', 10);
    TXW_FREE(region, sound);
    EXPECT_TRUE(log.warnings().empty());

    auto *overrun = static_cast<char *>(TXW_MALLOC(region, 10));
    overrun[10] = 'x';
    TXW_FREE(region, overrun);
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_EQ(log.warnings()[0].rfind("bad byte at 0x", 0), 0u) << log.warnings()[0];
    EXPECT_NE(log.warnings()[0].find("region_test.cpp"), std::string::npos) << log.warnings()[0];

    log.Clear();
    auto *kept = static_cast<char *>(TXW_MALLOC(region, 4));
    kept[5] = 'y';
    RegionClose(region);
    EXPECT_EQ(log.warnings().size(), 1u) << "closing checks the blocks still allocated";
}

TEST_F(RegionTest, LowerCaseMethodNameAlsoSelectsChecking) {
    ScopedEnv env;
    env.Set("VM_METHOD", "vmdebug");
    Region *checked = RegionOpen("checked");
    env.Set("VM_METHOD", "other");
    Region *unchecked = RegionOpen("unchecked");
    MessageLog log;
    auto *a = static_cast<char *>(TXW_MALLOC(checked, 8));
    a[8] = 1;
    TXW_FREE(checked, a);
    EXPECT_EQ(log.warnings().size(), 1u);
    log.Clear();
    // An unchecked region has no guard bytes to look at.
    auto *b = static_cast<char *>(TXW_MALLOC(unchecked, 8));
    TXW_FREE(unchecked, b);
    EXPECT_TRUE(log.warnings().empty());
    RegionClose(checked);
    RegionClose(unchecked);
}

// The heap-direct switch is read once per process, so these run in a fresh
// process of their own.
class RegionSwitchTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(RegionSwitchTest, UseMallocTurnsOnTheHeapDirectMode) {
    EXPECT_EXIT(
        {
            ::setenv("SPS_USE_MALLOC", "1", 1);
            ::unsetenv("DISABLE_POOL_ARENA");
            RegionInit();
            const char *arena = std::getenv("PURIFY_POOL_ARENA");
            const char *silence = std::getenv("PURIFY_POOL_ARENA_SILENCE");
            const bool set = arena != nullptr && std::strcmp(arena, "1") == 0 && silence != nullptr &&
                             std::strcmp(silence, "1") == 0;
            Region *region = RegionOpen("direct");
            void *block = TXW_MALLOC(region, 32);
            const bool uncounted = RegionBytesInUse(region) == 0;
            TXW_FREE(region, block);
            RegionClose(region);
            std::exit(set && RegionUsesHeapDirectly() && uncounted ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RegionSwitchTest, DisablePoolArenaKeepsTheRegions) {
    EXPECT_EXIT(
        {
            ::unsetenv("SPS_USE_MALLOC");
            ::setenv("PURIFY_POOL_ARENA", "1", 1);
            ::setenv("DISABLE_POOL_ARENA", "1", 1);
            std::exit(RegionUsesHeapDirectly() ? 2 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tavri::writer
