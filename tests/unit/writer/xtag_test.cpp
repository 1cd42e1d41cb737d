// Time tags: repeats, rewinds, the move to 64-bit time, the ceiling, and the
// kinds that exclude each other.
#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

class XtagTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        obj_ = txw_OpenFile(Path("t.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
    }
    void TearDown() override {
        if (obj_ != nullptr) {
            txw_CloseFile(obj_);
        }
        WriterTest::TearDown();
    }
    uint32_t Count() const { return obj_->header.U32(kHdrMaxXtagIdx); }
    Xtag Max() const {
        uint32_t pair[2];
        txw_GetMaxXTag(obj_, pair);
        return {pair[0], pair[1]};
    }

    txwObject *obj_ = nullptr;
};

TEST_F(XtagTest, RepeatedTimeContinuesTheStep) {
    txw_CreateXCoor(obj_, 0, 10);
    txw_CreateXCoor(obj_, 0, 10);
    txw_CreateXCoor(obj_, 0, 12);
    EXPECT_EQ(Count(), 2u);
    EXPECT_EQ(Max(), (Xtag{0, 12}));
    uint32_t first[2];
    ASSERT_EQ(txw_GetMinXTag(obj_, first), 0);
    EXPECT_EQ(first[1], 10u);
    EXPECT_EQ(obj_->header.U8(kHdrXtagType), kXtagInteger);
}

TEST_F(XtagTest, RewindIsRefusedAndTheTimeStays) {
    ASSERT_EQ(txw_CreateXCoorByHnL(obj_, 0, 20), 0);
    EXPECT_EQ(txw_CreateXCoorByHnL(obj_, 0, 12), TXW_ERROR);
    EXPECT_TRUE(Warned("Time is rewound, this is inhibited.\n"));
    EXPECT_EQ(Max(), (Xtag{0, 20}));
    ASSERT_EQ(txw_CreateXCoorByHnL(obj_, 2, 0), 0);
    EXPECT_EQ(txw_CreateXCoorByHnL(obj_, 1, 99), TXW_ERROR);
    EXPECT_TRUE(Warned("Fatal Error: time is rewound.\n"));
    EXPECT_EQ(txw_CreateXCoorByHnL(obj_, 0, 99), TXW_ERROR);
    EXPECT_EQ(Max(), (Xtag{2, 0}));
    EXPECT_EQ(Count(), 2u);
}

TEST_F(XtagTest, HighWordSwitchesToEightByteStamps) {
    txw_CreateXCoor(obj_, 0, 20);
    EXPECT_EQ(obj_->xtag_size, 4);
    EXPECT_EQ(obj_->vc_block_size, 7u * 4 + 16);
    txw_CreateXCoor(obj_, 1, 0);
    EXPECT_TRUE(obj_->xtag64);
    EXPECT_EQ(obj_->xtag_size, 8);
    EXPECT_EQ(obj_->vc_block_size, 7u * 8 + 16);
    EXPECT_EQ(Max(), (Xtag{1, 0}));
}

TEST_F(XtagTest, FirstTagWithHighWordStartsWide) {
    txw_CreateXCoor(obj_, 3, 7);
    EXPECT_EQ(obj_->xtag_size, 8);
    uint32_t first[2];
    txw_GetMinXTag(obj_, first);
    EXPECT_EQ(first[0], 3u);
    EXPECT_EQ(first[1], 7u);
}

TEST_F(XtagTest, TimesAboveTheCeilingAreClamped) {
    txw_CloseFile(obj_);
    ScopedEnv log("TXW_ENV_DBG", Path("xtag.log").c_str());
    obj_ = txw_OpenFile(Path("c.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj_, nullptr);
    txw_CreateXCoor(obj_, 0, 1);
    txw_CreateXCoor(obj_, 0x80000000u, 0);
    EXPECT_EQ(Max(), (Xtag{0x7FFFFFFFu, 0xFFFFFFFFu}));
    txw_CreateXCoor(obj_, 0x90000000u, 0);
    EXPECT_EQ(Count(), 2u) << "a second time beyond the ceiling is the same step";
    txw_CloseFile(obj_);
    obj_ = nullptr;
    std::ifstream in(Path("xtag.log"));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("xtag (2147483648 0) is adjusted to (2147483647 4294967295)!\n"),
              std::string::npos)
        << text;
}

TEST_F(XtagTest, SuccessfulTagResetsTheChangesSinceTheLastTag) {
    txw_CreateXCoor(obj_, 0, 1);
    obj_->changes_since_xtag = 5;
    txw_CreateXCoor(obj_, 0, 1);
    EXPECT_EQ(obj_->changes_since_xtag, 0u) << "also when it repeats the time";
    obj_->changes_since_xtag = 5;
    txw_CreateXCoor(obj_, 0, 0);
    EXPECT_EQ(obj_->changes_since_xtag, 5u) << "a refused tag changes nothing";
}

TEST_F(XtagTest, KindsExcludeEachOther) {
    txw_CreateXCoor(obj_, 0, 1);
    EXPECT_EQ(txw_CreateFloatXCoor(obj_, 2.0f), TXW_XTAG_KIND_MISMATCH);
    EXPECT_TRUE(Warned("txw_CreateFloatXCoor(): Non-float xtags were already created .\n"));
    EXPECT_EQ(txw_CreateDoubleXCoor(obj_, 2.0), TXW_XTAG_KIND_MISMATCH);
    EXPECT_TRUE(Warned("txw_CreateDoubleXCoor(): xtag creation failed.\n"));
}

TEST_F(XtagTest, DoubleTagsCompareAsNumbers) {
    ASSERT_EQ(txw_CreateDoubleXCoor(obj_, 1.5), 0);
    EXPECT_EQ(obj_->header.U8(kHdrXtagType), kXtagDouble);
    EXPECT_EQ(obj_->xtag_size, 8);
    EXPECT_EQ(txw_CreateDoubleXCoor(obj_, 1.5), 0);
    EXPECT_EQ(txw_CreateDoubleXCoor(obj_, 2.25), 0);
    EXPECT_EQ(txw_CreateDoubleXCoor(obj_, 2.0), TXW_ERROR);
    EXPECT_TRUE(Warned("Time is rewound, this is inhibited.\n"));
    EXPECT_EQ(Count(), 2u);
    double stored;
    std::memcpy(&stored, obj_->header.bytes + kHdrMaxXtag, sizeof stored);
    EXPECT_EQ(stored, 2.25);
    EXPECT_EQ(txw_CreateXCoorByHnL(obj_, 0, 5), TXW_XTAG_KIND_MISMATCH);
    EXPECT_TRUE(Warned("txw_CreateXCoorByHnL(): Non-uint64 xtags were already created .\n"));
}

TEST_F(XtagTest, FloatTagsUseFourBytes) {
    ASSERT_EQ(txw_CreateFloatXCoor(obj_, 0.5f), 0);
    EXPECT_EQ(obj_->header.U8(kHdrXtagType), kXtagFloat);
    EXPECT_EQ(obj_->xtag_size, 4);
    EXPECT_EQ(txw_CreateFloatXCoor(obj_, 0.25f), TXW_ERROR);
}

TEST_F(XtagTest, NullOutPointersAreRefused) {
    EXPECT_EQ(txw_GetMaxXTag(obj_, nullptr), TXW_ERROR);
    EXPECT_TRUE(Warned("txw_GetMaxXTag: Argument max_xtag is NULL. Return!\n"));
    EXPECT_EQ(txw_GetMinXTag(obj_, nullptr), TXW_ERROR);
    EXPECT_TRUE(Warned("txw_GetMinXTag: Argument min_xtag is NULL. Return!\n"));
}

}  // namespace
}  // namespace tavri::test
