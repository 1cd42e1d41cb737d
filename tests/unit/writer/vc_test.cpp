// Value-change creation in memory: blocks of one-byte changes, units of
// multi-byte ones, the repeat and glitch rules, sequence numbers, formats,
// dump off, string ids.
#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/incore_var.h"
#include "writer/strings.h"
#include "writer/tree.h"
#include "writer/vc.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

struct Entry {
    uint8_t value;
    uint64_t stamp;
    uint32_t seq;
    bool operator==(const Entry &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Entry &entry) {
    return out << "{" << int(entry.value) << "@" << entry.stamp << "#" << entry.seq << "}";
}

class VcTest : public WriterTest {
  protected:
    // A tree with: 1 scalar "s", 2 vector "v[7:0]" (one byte per bit),
    // 3 bus "b[32:0]", 4 event "e", 5 string "t".
    void Open(const char *glitch = nullptr, bool sequence = false) {
        ScopedEnv env("TRAX_ENV_MAX_GLITCH_NUM", glitch);
        obj_ = txw_OpenFile(Path("vc.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
        if (sequence) {
            ASSERT_EQ(txw_EnableSeqNum(obj_), 0);
        }
        ASSERT_TRUE(txw_BeginTree(obj_));
        txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
        ASSERT_EQ(txw_CreateScope(obj_, &scope), 0);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 4, 0, 0, 7, 0, 2, "v", 0), 2);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 4, 0, 0, 32, 0, 3, "b", 0), 3);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 0, 0, 0, 0, 0, 4, "e", 0), 4);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 63, 0, 0, 0, 0, 5, "t", 2), 5);
        ASSERT_EQ(txw_EndTree(obj_), 0);
    }
    void TearDown() override {
        if (obj_ != nullptr) {
            txw_CloseFile(obj_);
        }
        WriterTest::TearDown();
    }
    int Scalar(int32_t idcode, uint8_t value) {
        return txw_CreateVarValueByIdcode(obj_, idcode, &value, 1);
    }
    // The pending one-byte changes of a variable, in order.
    std::vector<Entry> Pending(int32_t idcode) {
        std::vector<Entry> entries;
        ForEachPendingChange(*FindIncoreVar(obj_, static_cast<uint32_t>(idcode)), 1,
                             [&](const PendingChange &change) {
                                 entries.push_back({*change.value, change.stamp, change.seq});
                             });
        return entries;
    }
    // The pending values and sequence numbers of a multi-byte variable.
    std::vector<std::vector<uint8_t>> Values(int32_t idcode, std::vector<uint32_t> *seqs = nullptr) {
        std::vector<std::vector<uint8_t>> values;
        const IncoreVar &var = *FindIncoreVar(obj_, static_cast<uint32_t>(idcode));
        const uint32_t length = ValueLength(var);
        ForEachPendingChange(var, length, [&](const PendingChange &change) {
            values.emplace_back(change.value, change.value + length);
            if (seqs != nullptr) {
                seqs->push_back(change.seq);
            }
        });
        return values;
    }
    int Units(int32_t idcode) {
        int units = 0;
        for (const VcUnit *unit = FindIncoreVar(obj_, static_cast<uint32_t>(idcode))->chain_head;
             unit != nullptr; unit = unit->next) {
            ++units;
        }
        return units;
    }

    txwObject *obj_ = nullptr;
};

TEST_F(VcTest, ScalarChangesGoToBlocksOfSeven) {
    Open();
    for (uint32_t t = 1; t <= 8; ++t) {
        txw_CreateXCoor(obj_, 0, t * 10);
        Scalar(1, static_cast<uint8_t>(t % 2));
    }
    EXPECT_EQ(Units(1), 2) << "the 8th change opens a second block";
    const std::vector<Entry> entries = Pending(1);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries.front(), (Entry{1, 10, 0}));
    EXPECT_EQ(entries.back(), (Entry{0, 80, 0}));
    const IncoreVar *var = FindIncoreVar(obj_, 1);
    EXPECT_TRUE(var->chain_head->flags & kUnitFirstChange);
    EXPECT_FALSE(var->chain_tail->flags & kUnitFirstChange);
    EXPECT_EQ(obj_->header.U32(kHdrBc1VcCreationCnt), 8u);
}

TEST_F(VcTest, RepeatedValuesAreDropped) {
    Open();
    txw_CreateXCoor(obj_, 0, 1);
    Scalar(1, 1);
    txw_CreateXCoor(obj_, 0, 2);
    Scalar(1, 1);
    txw_CreateXCoor(obj_, 0, 3);
    Scalar(1, 0);
    EXPECT_EQ(Pending(1), (std::vector<Entry>{{1, 1, 0}, {0, 3, 0}}));
    // Events record every occurrence.
    txw_CreateXCoor(obj_, 0, 4);
    Scalar(4, 1);
    txw_CreateXCoor(obj_, 0, 5);
    Scalar(4, 1);
    EXPECT_EQ(Pending(4).size(), 2u);
}

TEST_F(VcTest, RepeatAfterAFlushComparesWithTheFlushedValue) {
    Open();
    txw_CreateXCoor(obj_, 0, 1);
    Scalar(1, 3);
    ASSERT_EQ(txw_Flush(obj_), 0);
    EXPECT_TRUE(Pending(1).empty());
    txw_CreateXCoor(obj_, 0, 2);
    Scalar(1, 3);
    EXPECT_TRUE(Pending(1).empty());
    Scalar(1, 2);
    EXPECT_EQ(Pending(1).size(), 1u);
}

TEST_F(VcTest, GlitchNumberOneKeepsTheLastValueOfATimeStep) {
    Open();
    txw_CreateXCoor(obj_, 0, 5);
    Scalar(1, 1);
    Scalar(1, 0);
    Scalar(1, 1);
    EXPECT_EQ(Pending(1), (std::vector<Entry>{{1, 5, 0}}));
    EXPECT_TRUE(FindIncoreVar(obj_, 1)->chain_tail->flags & kUnitGlitchReplaced);
    EXPECT_TRUE(FindIncoreVar(obj_, 1)->flags & kVarMerged);
}

TEST_F(VcTest, GlitchNumberThreeKeepsThreeAndHintsAtTheSecond) {
    Open("3");
    txw_CreateXCoor(obj_, 0, 5);
    EXPECT_EQ(Scalar(1, 1), 0);
    EXPECT_EQ(Scalar(1, 0), 1) << "one less than the glitch number";
    EXPECT_EQ(Scalar(1, 1), 0);
    EXPECT_EQ(Scalar(1, 0), 0);
    EXPECT_EQ(Pending(1), (std::vector<Entry>{{1, 5, 0}, {0, 5, 0}, {0, 5, 0}}))
        << "the fourth replaces the third";
    txw_CreateXCoor(obj_, 0, 6);
    Scalar(1, 1);
    EXPECT_EQ(Pending(1).size(), 4u) << "a new step starts a new count";
}

TEST_F(VcTest, SequenceNumbersCountCallsSinceTheTimeTag) {
    Open(nullptr, true);
    txw_CreateXCoor(obj_, 0, 7);
    Scalar(1, 1);
    Scalar(4, 1);
    Scalar(1, 0);  // merged into the first change: only its value is replaced
    const uint8_t bus[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    txw_CreateVarValueByIdcode(obj_, 2, bus, 8);
    EXPECT_EQ(Pending(1), (std::vector<Entry>{{0, 7, 1}}));
    EXPECT_EQ(Pending(4), (std::vector<Entry>{{1, 7, 2}}));
    std::vector<uint32_t> seqs;
    Values(2, &seqs);
    EXPECT_EQ(seqs, (std::vector<uint32_t>{4})) << "the merged call counted too";
    txw_CreateXCoor(obj_, 0, 8);
    Scalar(4, 1);
    EXPECT_EQ(Pending(4).back(), (Entry{1, 8, 1}));
}

TEST_F(VcTest, WideTimesUseEightByteStamps) {
    Open();
    txw_CreateXCoor(obj_, 0, 9);
    Scalar(1, 1);
    txw_CreateXCoor(obj_, 2, 5);
    EXPECT_TRUE(Pending(1).empty()) << "the pending 4-byte stamps were flushed first";
    Scalar(1, 0);
    EXPECT_EQ(Pending(1), (std::vector<Entry>{{0, (uint64_t{2} << 32) | 5, 0}}));
}

TEST_F(VcTest, VectorChangesKeepTheirValues) {
    Open();
    const uint8_t first[8] = {0, 0, 0, 0, 1, 1, 1, 1};
    const uint8_t second[8] = {2, 2, 2, 2, 3, 3, 3, 3};
    txw_CreateXCoor(obj_, 0, 1);
    txw_CreateVarValueByIdcode(obj_, 2, first, 8);
    txw_CreateXCoor(obj_, 0, 2);
    txw_CreateVarValueByIdcode(obj_, 2, first, 8);
    txw_CreateVarValueByIdcode(obj_, 2, second, 8);
    EXPECT_EQ(Values(2), (std::vector<std::vector<uint8_t>>{{first, first + 8}, {second, second + 8}}))
        << "the repeated value was dropped";
    EXPECT_EQ(obj_->header.U32(kHdrBcnVcCreationCnt), 3u);
    EXPECT_EQ(FindIncoreVar(obj_, 2)->value_format, kFormatNormalBus);
}

// Small vectors share blocks like scalars; the repeat filter, the glitch
// rule and the flush must see their whole values there.
TEST_F(VcTest, SmallVectorValuesInBlocksFollowTheRules) {
    struct Step {
        uint32_t time;  // 0: flush before this step's value
        uint8_t fill;   // all eight bytes of the value
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
        std::vector<uint8_t> pending;  // fill of each pending value
        int units;
    };
    const Case cases[] = {
        {"eight changes open a second block",
         {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 0}, {6, 1}, {7, 2}, {8, 3}},
         {0, 1, 2, 3, 0, 1, 2, 3},
         2},
        {"a repeat of the tail value is dropped", {{1, 2}, {2, 2}, {3, 3}}, {2, 3}, 1},
        {"glitches at one time keep the last value", {{1, 1}, {2, 2}, {2, 3}, {2, 0}}, {1, 0}, 1},
        {"after a flush a repeat of the flushed value is dropped", {{1, 2}, {0, 0}, {2, 2}, {3, 1}}, {1}, 1},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        Open();
        for (const Step &step : test.steps) {
            if (step.time == 0) {
                ASSERT_EQ(txw_Flush(obj_), 0);
                continue;
            }
            uint8_t value[8];
            std::memset(value, step.fill, 8);
            txw_CreateXCoor(obj_, 0, step.time);
            txw_CreateVarValueByIdcode(obj_, 2, value, 8);
        }
        std::vector<std::vector<uint8_t>> expected;
        for (uint8_t fill : test.pending) {
            expected.emplace_back(8, fill);
        }
        EXPECT_EQ(Values(2), expected);
        EXPECT_EQ(Units(2), test.units);
        txw_CloseFile(obj_);
        obj_ = nullptr;
    }
}

TEST_F(VcTest, ABBusValuesAreMaskedToTheWidth) {
    Open();
    uint32_t words[4] = {0xFFFFFFFFu, 0, 0xFFFFFFFFu, 0xFFFFFFFFu};
    txw_CreateXCoor(obj_, 0, 1);
    txw_CreateABBusValueByIdcode(obj_, 3, words, 33);
    EXPECT_EQ(words[2], 1u);
    EXPECT_EQ(words[3], 1u);
    const IncoreVar *var = FindIncoreVar(obj_, 3);
    EXPECT_EQ(var->value_format, kFormatABBus);
    EXPECT_EQ(ValueLength(*var), 16u);
    const uint8_t *stored = UnitBytes(var->chain_tail) + kUnitHeaderSize + 4;
    uint32_t copy[4];
    std::memcpy(copy, stored, 16);
    EXPECT_EQ(copy[0], 0xFFFFFFFFu);
    EXPECT_EQ(copy[2], 1u);
}

TEST_F(VcTest, EachVariableKeepsOneFormat) {
    Open();
    uint32_t words[2] = {5, 0};
    const uint8_t bytes[8] = {};
    txw_CreateXCoor(obj_, 0, 1);
    txw_CreateVarValueByIdcode(obj_, 2, bytes, 8);
    EXPECT_EQ(txw_CreateABBusValueByIdcode(obj_, 2, words, 8), 0);
    EXPECT_TRUE(Warned("vc of var(2) was already created in a format(1) other than A/B bus format.\n"));
    uint32_t wide[4] = {};
    txw_CreateABBusValueByIdcode(obj_, 3, wide, 33);
    EXPECT_EQ(txw_CreateVarValueByIdcode(obj_, 3, bytes, 33), 0);
    EXPECT_TRUE(Warned("vc of var(3) was already created in a format(2) other than normal bus format.\n"));
    EXPECT_EQ(txw_CreateABBusValueByIdcode(obj_, 1, words, 1), 0);
    EXPECT_TRUE(Warned("txw_CreateABBusValueByIdcode() is for vector instead ofscalar variables.\n"
                       " Value change creation discarded.\n"));
    EXPECT_EQ(Units(2), 1);
    EXPECT_EQ(Units(3), 1);
}

TEST_F(VcTest, UnknownIdcodesAndDumpOffRecordNothing) {
    Open();
    txw_CreateXCoor(obj_, 0, 1);
    EXPECT_EQ(Scalar(9, 1), 0);
    EXPECT_TRUE(Warned("Failed to locate var when creating var val.\n"));
    EXPECT_TRUE(Warned("var idcode=9, trax max var idcode=5\n"));
    EXPECT_EQ(Scalar(-1, 1), 0);
    txw_DumpOff(obj_);
    EXPECT_EQ(Pending(0), (std::vector<Entry>{{1, 1, 0}})) << "the dump-off marker";
    EXPECT_EQ(obj_->header.U32(kHdrDumpOffCount), 1u);
    EXPECT_EQ(Scalar(1, 1), 0);
    EXPECT_TRUE(Warned("Dump off is enabled, vc creation is discarded.\n"));
    EXPECT_TRUE(Pending(1).empty());
    txw_CreateXCoor(obj_, 0, 2);
    txw_DumpOn(obj_);
    EXPECT_EQ(Pending(0), (std::vector<Entry>{{1, 1, 0}, {0, 2, 0}}));
    EXPECT_EQ(Scalar(1, 1), 0);
    EXPECT_EQ(Pending(1).size(), 1u);
}

TEST_F(VcTest, ChangesByHandleAndRecordFollowTheVarMap) {
    int net = 0;
    obj_ = txw_OpenFile(Path("vc.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_EQ(txwCreateTreeByHandleScheme(obj_), 0);
    ASSERT_TRUE(txw_BeginTree(obj_));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj_, &scope), 0);
    txwVarMapRec *record = txw_CreateVarByHandle(obj_, 15, 0, 0, 0, 0, &net, "n", 0);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    const uint8_t one = 1;
    const uint8_t zero = 0;
    txw_CreateXCoor(obj_, 0, 1);
    txw_CreateVarValueByVarHdl(obj_, &net, &one);
    txw_DisableVarRec(obj_, record);
    txw_CreateXCoor(obj_, 0, 2);
    txw_CreateVarValueByVarHdl(obj_, &net, &zero);
    txw_CreateVarValueByVarRec(obj_, record, &zero);
    EXPECT_EQ(Pending(1).size(), 1u) << "disabled: nothing recorded";
    txw_EnableVarRec(obj_, record);
    txw_CreateVarValueByVarRec(obj_, record, &zero);
    EXPECT_EQ(Pending(1), (std::vector<Entry>{{1, 1, 0}, {0, 2, 0}}));
    int unknown = 0;
    EXPECT_EQ(txw_CreateVarValueByVarHdl(obj_, &unknown, &one), 0);
}

TEST_F(VcTest, StringsGetIdsInCreationOrder) {
    Open();
    const char *stored = nullptr;
    txw_CreateXCoor(obj_, 0, 1);
    txwCreateStrValByVarIdcode(obj_, 5, "a", &stored);
    EXPECT_STREQ(stored, "a");
    txw_CreateXCoor(obj_, 0, 2);
    txwCreateStrValByVarIdcode(obj_, 5, "b", &stored);
    txw_CreateXCoor(obj_, 0, 3);
    txwCreateStrValByVarIdcode(obj_, 5, "a", &stored);
    txw_CreateXCoor(obj_, 0, 4);
    txwCreateStrValByVarIdcode(obj_, 5, "", &stored);
    std::vector<uint32_t> ids;
    for (const std::vector<uint8_t> &value : Values(5)) {
        uint32_t id;
        std::memcpy(&id, value.data(), 4);
        ids.push_back(id);
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{0, 1, 0, 2}));
    ASSERT_EQ(txw_Flush(obj_), 0);
    const std::vector<uint8_t> text = ReadFileBytes(Path("vc.trax.str"));
    EXPECT_EQ(text, (std::vector<uint8_t>{'a', 0, 'b', 0, 0}));
    EXPECT_EQ(obj_->header.U32(kHdrStringCount), 3u);
    EXPECT_EQ(obj_->header.U32(kHdrStringListSize), 5u);
    EXPECT_EQ(HashString(nullptr), 0u);
    EXPECT_EQ(HashString("a"), 97u * 1103515245u);
}

TEST_F(VcTest, StringValuesByHandle) {
    int text_var = 0;
    obj_ = txw_OpenFile(Path("vc.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_TRUE(txw_BeginTree(obj_));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj_, &scope), 0);
    ASSERT_NE(txw_CreateVarByHandle(obj_, 63, 0, 0, 0, 0, &text_var, "msg", 2), nullptr);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    const char *stored = nullptr;
    txw_CreateXCoor(obj_, 0, 1);
    txw_CreateStrValByVarHdl(obj_, &text_var, "hello", &stored);
    EXPECT_STREQ(stored, "hello");
    int other = 0;
    txw_CreateStrValByVarHdl(obj_, &other, "nobody", &stored);
    EXPECT_EQ(stored, nullptr);
}

}  // namespace
}  // namespace tavri::test
