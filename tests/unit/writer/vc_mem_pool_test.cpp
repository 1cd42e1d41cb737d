// Value-change memory: limits, chunks, the overflow buffer and reuse.
#include <set>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"
#include "writer/vc_mem_pool.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

class VcMemoryTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        obj_ = txw_OpenFile(Path("m.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
    }
    void TearDown() override {
        txw_CloseFile(obj_);
        WriterTest::TearDown();
    }
    txwObject *obj_ = nullptr;
};

TEST_F(VcMemoryTest, LimitsAreClampedWithTheirMessages) {
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj_, 1), 0);
    EXPECT_EQ(obj_->vc_memory->limit, 2u);
    EXPECT_EQ(obj_->header.U32(kHdrWriterMemLimit), 2u);
    EXPECT_TRUE(Warned("minimum memory limit is 2\n"));
    EXPECT_TRUE(Warned("current memory limit(1) is too small, use 2 instead"));
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj_, 600), 0);
    EXPECT_EQ(obj_->vc_memory->limit, 512u);
    EXPECT_TRUE(Warned("maximum memory limit is 512\n"));
    EXPECT_TRUE(Warned("current memory limit(600) is too large, use 512 instead"));
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj_, 64), 0);
    EXPECT_EQ(obj_->vc_memory->limit, 64u);
}

TEST_F(VcMemoryTest, FullMemoryOverflowsAndChunksAreReusedAfterRelease) {
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj_, 2), 0);
    VcMemory *memory = obj_->vc_memory;
    std::set<uintptr_t> chunk_pages;
    constexpr uint32_t kUnit = 4096;
    const uint32_t per_chunk = (kVcChunkPayload - 1) / kUnit;  // the last unit may not touch the end
    for (uint32_t i = 0; i < 2 * per_chunk; ++i) {
        auto *unit = static_cast<uint8_t *>(VcAllocate(obj_, memory, kUnit));
        ASSERT_NE(unit, nullptr);
        std::memset(unit, 0xAB, kUnit);  // the whole unit is ours to write
        chunk_pages.insert(reinterpret_cast<uintptr_t>(unit) & ~uintptr_t{0xFFFFF});
    }
    EXPECT_EQ(VcChunksInUse(memory), 2u);
    EXPECT_FALSE(obj_->flush_after_change);

    void *overflow = VcAllocate(obj_, memory, kUnit);
    EXPECT_EQ(overflow, memory->overflow);
    EXPECT_TRUE(obj_->flush_after_change) << "the caller must flush now";
    EXPECT_EQ(VcChunksInUse(memory), 2u) << "the limit is never passed";

    VcChunk *first_in_use = memory->in_use;
    VcReleaseAll(memory);
    EXPECT_EQ(VcChunksInUse(memory), 0u);
    void *reused = VcAllocate(obj_, memory, 16);
    EXPECT_EQ(memory->in_use, first_in_use) << "a released chunk is taken again, none allocated";
    EXPECT_EQ(reused, static_cast<void *>(first_in_use + 1));
}

TEST_F(VcMemoryTest, UnitsAreAlignedForPointers) {
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj_, 2), 0);
    for (uint32_t size : {1u, 5u, 13u, 44u}) {
        auto address = reinterpret_cast<uintptr_t>(VcAllocate(obj_, obj_->vc_memory, size));
        EXPECT_EQ(address % 8, 0u) << size;
    }
}

TEST_F(VcMemoryTest, UnitLargerThanAChunkGetsMemoryOfItsOwn) {
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj_, 2), 0);
    const uint32_t huge = kVcChunkPayload + 100;
    auto *unit = static_cast<uint8_t *>(VcAllocate(obj_, obj_->vc_memory, huge));
    ASSERT_NE(unit, nullptr);
    EXPECT_GE(obj_->vc_memory->overflow_size, huge);
    std::memset(unit, 1, huge);
    EXPECT_TRUE(obj_->flush_after_change);
    EXPECT_TRUE(Warned("Memory could be corrupted!\n"));
    EXPECT_EQ(VcChunksInUse(obj_->vc_memory), 0u);
}

TEST_F(VcMemoryTest, OverflowBufferGrowsOnlyWhenTooSmall) {
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj_, 2), 0);
    VcMemory *memory = obj_->vc_memory;
    memory->limit = 0;  // every request overflows
    void *first = VcAllocate(obj_, memory, 64);
    EXPECT_EQ(memory->overflow_size, 64u + 128);
    void *second = VcAllocate(obj_, memory, 100);
    EXPECT_EQ(first, second) << "64 + 128 bytes hold 100";
    VcAllocate(obj_, memory, 400);
    EXPECT_EQ(memory->overflow_size, 400u + 128);
}

}  // namespace
}  // namespace tavri::test
