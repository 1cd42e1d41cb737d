// Value slots: the hot path's cached writer record must follow the writer it
// belongs to and pass the same checks as a change by idcode.
#include <functional>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/incore_var.h"
#include "writer/object.h"
#include "writer/tree.h"
#include "writer/vc.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

class ValueSlotTest : public WriterTest {
  protected:
    // A writer with 1 scalar "s" and 2 bus "b[32:0]".
    txwObject *Open(const std::string &name) {
        txwObject *obj = txw_OpenFile(Path(name).c_str(), TXW_FILE_VERILOG);
        EXPECT_NE(obj, nullptr);
        EXPECT_TRUE(txw_BeginTree(obj));
        txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
        EXPECT_EQ(txw_CreateScope(obj, &scope), 0);
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 32, 0, 2, "b", 0), 2);
        EXPECT_EQ(txw_EndTree(obj), 0);
        txw_CreateXCoor(obj, 0, 1);
        return obj;
    }
    static int ChangesOf(txwObject *obj, int32_t idcode) {
        int units = 0;
        for (const VcUnit *unit = FindIncoreVar(obj, static_cast<uint32_t>(idcode))->chain_head;
             unit != nullptr; unit = unit->next) {
            ++units;
        }
        return units;
    }
};

TEST_F(ValueSlotTest, SlotIsFilledAgainForANewWriter) {
    txwValueSlot slot{};
    const uint8_t one = 1;
    txwObject *first = Open("first.trax");
    ASSERT_EQ(txw_CreateVarValueInSlot(first, &slot, 1, &one), 0);
    EXPECT_EQ(slot.var, FindIncoreVar(first, 1));
    EXPECT_EQ(ChangesOf(first, 1), 1);
    txw_CloseFile(first);
    FreeParkedObject();  // the next writer may now get the same memory

    txwObject *second = Open("second.trax");
    ASSERT_EQ(txw_CreateVarValueInSlot(second, &slot, 1, &one), 0);
    EXPECT_EQ(slot.writer_serial, second->serial);
    EXPECT_EQ(slot.var, FindIncoreVar(second, 1));
    EXPECT_EQ(ChangesOf(second, 1), 1) << "the change went to the open writer's record";
    txw_CloseFile(second);
}

TEST_F(ValueSlotTest, SlotChangesAreCheckedLikeChangesByIdcode) {
    struct Case {
        const char *name;
        int32_t idcode;
        std::function<void(txwObject *)> before;  // after the slot was filled
        const char *warning;                      // or null
    };
    const Case cases[] = {
        {"dump off", 1, [](txwObject *obj) { txw_DumpOff(obj); },
         "Dump off is enabled, vc creation is discarded.\n"},
        {"unknown idcode", 9, nullptr, "Failed to locate var when creating var val.\n"},
        {"negative idcode", -1, nullptr, nullptr},
    };
    const uint8_t one = 1;
    const uint8_t zero = 0;
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        CapturedWarnings().clear();
        txwObject *obj = Open(std::string(test.name) + ".trax");
        txwValueSlot slot{};
        if (test.idcode > 0 && test.idcode <= 2) {
            ASSERT_EQ(txw_CreateVarValueInSlot(obj, &slot, test.idcode, &one), 0);
            ASSERT_NE(slot.var, nullptr);
        }
        if (test.before) {
            test.before(obj);
        }
        txw_CreateXCoor(obj, 0, 2);
        EXPECT_EQ(txw_CreateVarValueInSlot(obj, &slot, test.idcode, &zero), 0);
        if (test.idcode > 0 && test.idcode <= 2) {
            EXPECT_EQ(ChangesOf(obj, test.idcode), 1) << "only the change before";
        } else {
            EXPECT_EQ(slot.var, nullptr) << "nothing to keep";
        }
        if (test.warning != nullptr) {
            EXPECT_TRUE(Warned(test.warning));
        }
        txw_CloseFile(obj);
    }
}

TEST_F(ValueSlotTest, BusChangesThroughASlotEqualThoseByIdcode) {
    txwObject *by_slot = Open("slot.trax");
    txwObject *by_idcode = Open("idcode.trax");
    txwValueSlot slot{};
    uint32_t slot_words[4] = {0xFFFFFFFFu, 0, 0xFFFFFFFFu, 0xFFFFFFFEu};  // bits above 32 are cut
    uint32_t idcode_words[4] = {0xFFFFFFFFu, 0, 0xFFFFFFFFu, 0xFFFFFFFEu};
    ASSERT_EQ(txw_CreateABBusValueInSlot(by_slot, &slot, 2, slot_words), 0);
    ASSERT_EQ(txw_CreateABBusValueByIdcode(by_idcode, 2, idcode_words, 33), 0);
    const VcUnit *a = FindIncoreVar(by_slot, 2)->chain_head;
    const VcUnit *b = FindIncoreVar(by_idcode, 2)->chain_head;
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const uint32_t bytes = UnitSize(by_slot->xtag_size, by_slot->seq_num_size, 16);
    EXPECT_EQ(0, std::memcmp(UnitBytes(a) + sizeof(VcUnit *), UnitBytes(b) + sizeof(VcUnit *),
                             bytes - sizeof(VcUnit *)));
    EXPECT_EQ(slot_words[2], 1u);
    EXPECT_EQ(by_slot->header.U32(kHdrBcnVcCreationCnt), 1u);
    txw_CloseFile(by_slot);
    txw_CloseFile(by_idcode);
}

}  // namespace
}  // namespace tavri::test
