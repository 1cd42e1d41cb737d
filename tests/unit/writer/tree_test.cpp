// The scope and variable tree: stream bytes of scopes, trailers and variable
// records, idcode rules and aliases, the var map, pairing of trees.
#include <algorithm>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/incore_var.h"
#include "writer/tree.h"
#include "writer/var_map.h"
#include "writer/vc_mem_pool.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;
using Bytes = std::vector<uint8_t>;

class TreeTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        obj_ = txw_OpenFile(Path("tree.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
        ASSERT_EQ(txwCreateTreeByHandleScheme(obj_), 0);
    }
    void TearDown() override {
        if (obj_ != nullptr) {
            txw_CloseFile(obj_);
        }
        WriterTest::TearDown();
    }

    void Scope(const char *name, const char *definition = nullptr, uint8_t type = 0) {
        txwScopeDesc scope{name, definition, nullptr, 0, type};
        ASSERT_EQ(txw_CreateScope(obj_, &scope), 0);
    }
    int32_t Var(const char *name, int32_t idcode, int32_t left = 0, int32_t right = 0, uint8_t type = 15,
                uint8_t direction = 0, uint8_t bpb = 0) {
        return txw_CreateVarByVarIdcode(obj_, type, direction, 0, left, right, idcode, name, bpb);
    }
    Bytes ScopeStream(int tree = 0) {
        TreeRecord *record = obj_->trees;
        for (int i = 0; i < tree; ++i) record = record->next;
        return StreamOf(ReadFileBytes(Path("tree.trax")), record->scope_blocks);
    }
    Bytes VarStream(int tree = 0) {
        TreeRecord *record = obj_->trees;
        for (int i = 0; i < tree; ++i) record = record->next;
        return StreamOf(ReadFileBytes(Path("tree.trax")), record->var_blocks);
    }

    txwObject *obj_ = nullptr;
};

TEST_F(TreeTest, ScopeAndVariableStreamsOfASmallTree) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("top", "tb");
    ASSERT_EQ(Var("clk", 1), 1);
    Scope("dut", "cpu");
    ASSERT_EQ(Var("data", 2, 7, 0, 4, 2), 2);
    ASSERT_EQ(txw_EndScope(obj_), 0);
    Scope("empty");
    ASSERT_EQ(txw_EndScope(obj_), 0);
    ASSERT_EQ(txw_EndScope(obj_), 0);
    ASSERT_EQ(txw_EndTree(obj_), 0);

    const Bytes scopes = ScopeStream();
    const Bytes expected_scopes = {
        0xFE,                                   // begin tree
        0, 't', 'o', 'p', 0, 't', 'b', 0, 0,    // module top (definition tb)
        0x01, 1, 0, 0, 0,                       // trailer: its variables start at 1
        0, 'd', 'u', 't', 0, 'c', 'p', 'u', 0, 0,
        0x01, 9, 0, 0, 0,                       // dut's group starts after top's 0xFF
        0xFD,                                   // end dut
        0, 'e', 'm', 'p', 't', 'y', 0, 0, 0,
        0x00,                                   // trailer of a scope without variables
        0xFD,                                   // end empty
        0xFD,                                   // end top
        0xFF};                                  // end tree
    EXPECT_EQ(scopes, expected_scopes);

    const Bytes vars = VarStream();
    const Bytes expected_vars = {
        0xBF,                                        // stream start
        15, 'c', 'l', 'k', 0, 0x00, 1,               // wire clk, idcode 1
        0xFF,                                        // end of top's group
        4, 'd', 'a', 't', 'a', 0, 0x41, 7, 2, 0x20,  // reg data[7:0], idcode 2, output
        0xFF};
    EXPECT_EQ(vars, expected_vars);
    EXPECT_EQ(obj_->header.U32(kHdrScopeCreationCnt), 3u);
    EXPECT_EQ(obj_->header.U32(kHdrVarCreationCnt), 2u);
    EXPECT_EQ(obj_->header.U8(kHdrHasVarDir), 2);
    EXPECT_EQ(obj_->header.U32(kHdrTreeCount), 1u);
    EXPECT_EQ(obj_->header.U32(kHdrScopeBlkCnt), 1u);
    EXPECT_EQ(obj_->header.U32(kHdrVarBlkCnt), 1u);
}

TEST_F(TreeTest, BoundsAndIdcodesTakeTheirSmallestWidths) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    ASSERT_EQ(Var("a", 1, 300, 0), 1);
    ASSERT_EQ(Var("b", 2, 0, 70000), 2);
    ASSERT_EQ(Var("c", 3, -1, 5), 3);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    const Bytes vars = VarStream();
    const Bytes expected = {0xBF,
                            15, 'a', 0, 0x02, 0x2C, 0x01, 1,                  // left 300 in 2 bytes
                            15, 'b', 0, 0x0C, 0x70, 0x11, 0x01, 0x00, 2,      // right 70000 in 4 bytes
                            15, 'c', 0, 0x07, 0xFF, 0xFF, 0xFF, 0xFF, 5, 3,   // left -1 in 4 bytes
                            0xFF};
    EXPECT_EQ(vars, expected);
}

TEST_F(TreeTest, LargeIdcodesUseTwoAndFourBytes) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    char name[16];
    for (int32_t id = 1; id <= 65536; ++id) {
        std::snprintf(name, sizeof name, "v%d", id);
        ASSERT_EQ(Var(name, id), id);
    }
    ASSERT_EQ(txw_EndTree(obj_), 0);
    const Bytes vars = VarStream();
    const Bytes last = {15, 'v', '6', '5', '5', '3', '6', 0, 0x20, 0x00, 0x00, 0x01, 0x00, 0xFF};
    ASSERT_GE(vars.size(), last.size());
    EXPECT_EQ(Bytes(vars.end() - static_cast<long>(last.size()), vars.end()), last);
    const Bytes second_to_last = {'v', '6', '5', '5', '3', '5', 0, 0x10, 0xFF, 0xFF};
    EXPECT_NE(std::search(vars.begin(), vars.end(), second_to_last.begin(), second_to_last.end()),
              vars.end());
}

TEST_F(TreeTest, EscapedNameLosesItsTrailingBlank) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    ASSERT_EQ(Var("\\bus[3] ", 1), 1);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    const Bytes vars = VarStream();
    const Bytes expected = {0xBF, 15, '\\', 'b', 'u', 's', '[', '3', ']', 0, 0x00, 1, 0xFF};
    EXPECT_EQ(vars, expected);
}

TEST_F(TreeTest, FirstVariableMustHaveIdcodeOne) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    EXPECT_EQ(Var("x", 2), TXW_ERROR);
    EXPECT_TRUE(Warned("The idcode of the first variable must be 1.\n"));
    EXPECT_TRUE(Warned("The application gives 2 for the first variable.\n"));
    EXPECT_TRUE(Warned("variable creation failed, return.\n"));
    EXPECT_EQ(txw_GetMaxVarIdcode(obj_), 0u);
    EXPECT_EQ(obj_->header.U32(kHdrVarCreationCnt), 0u);
    ASSERT_EQ(txw_EndTree(obj_), 0);
}

TEST_F(TreeTest, IdcodesAreDenseAndLowerOnesAreAliases) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    EXPECT_EQ(Var("a", 1), 1);
    EXPECT_EQ(Var("b", 2), 2);
    EXPECT_EQ(Var("b_alias", 2), 2);
    EXPECT_EQ(Var("d", 4), TXW_ERROR);
    EXPECT_TRUE(Warned("var idcode(4) is not continuous from max var idcode(2).\n"));
    EXPECT_EQ(Var("c", 3), 3);
    EXPECT_EQ(txw_GetMaxVarIdcode(obj_), 3u);
    EXPECT_EQ(obj_->header.U32(kHdrVarCreationCnt), 4u) << "aliases count as records";
    ASSERT_EQ(txw_EndTree(obj_), 0);
    ASSERT_EQ(obj_->trees->count, 4u) << "idcodes 0 (the dump-off marker) to 3";
}

TEST_F(TreeTest, BadVariableRequestsAreRefused) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("top");
    ASSERT_EQ(Var("ok", 1), 1);
    EXPECT_EQ(Var(nullptr, 2), TXW_ERROR);
    EXPECT_TRUE(Warned("variable name cannot be NULL.\n"));
    EXPECT_EQ(Var("", 2), TXW_ERROR);
    EXPECT_TRUE(Warned("variable name cannot be back slash zero.\n"));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Var("neg", -5), TXW_ERROR);
    EXPECT_EQ(Var("wide", 2, 0, 0, 15, 0, 4), TXW_ERROR);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("top.neg: var idcode(-5) cannot be negative!\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("top.wide: bytes_per_bit(4) is wrong!\n"), std::string::npos) << printed;
    EXPECT_EQ(txw_GetMaxVarIdcode(obj_), 1u);
    ASSERT_EQ(txw_EndTree(obj_), 0);
}

TEST_F(TreeTest, TreesMustBePaired) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    EXPECT_FALSE(txw_BeginTree(obj_));
    EXPECT_TRUE(Warned("txwBeginTree() and txwEndTree() are not paired.\n"));
    ASSERT_EQ(txw_EndTree(obj_), 0);
    EXPECT_EQ(txw_EndTree(obj_), TXW_TREES_NOT_PAIRED);
    txwScopeDesc scope{"late", nullptr, nullptr, 0, 0};
    EXPECT_EQ(txw_CreateScope(obj_, &scope), TXW_TREES_NOT_PAIRED) << "no tree open";
}

TEST_F(TreeTest, NullScopeNameIsDiscarded) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    txwScopeDesc scope{nullptr, nullptr, nullptr, 0, 0};
    EXPECT_EQ(txw_CreateScope(obj_, &scope), TXW_NULL_NAME);
    EXPECT_TRUE(Warned("txwCreateScope2(): scope name is not allowed to be NULL.\n"));
    EXPECT_TRUE(Warned("Current txwCreateScope2() call is discarded!\n"));
    ASSERT_EQ(txw_EndTree(obj_), 0);
}

TEST_F(TreeTest, SecondTreeContinuesTheIdcodes) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("a");
    ASSERT_EQ(Var("x", 1), 1);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("b");
    ASSERT_EQ(Var("x_again", 1), 1);
    ASSERT_EQ(Var("y", 2), 2);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    TreeRecord *second = obj_->trees->next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->first_idcode, 2u);
    EXPECT_EQ(second->last_idcode, 2u);
    EXPECT_EQ(FindIncoreVar(obj_, 2), &second->vars[0]);
    EXPECT_EQ(FindIncoreVar(obj_, 1), &obj_->trees->vars[1]);
    EXPECT_EQ(FindIncoreVar(obj_, 3), nullptr);
    const Bytes vars = VarStream(1);
    ASSERT_FALSE(vars.empty());
    EXPECT_NE(vars[0], 0xBF) << "the variable stream is opened once per file";
    EXPECT_EQ(obj_->header.U32(kHdrTreeCount), 2u);
}

TEST_F(TreeTest, InCoreRecordsTakeTheVariableSizesAndRepeatRules) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    ASSERT_EQ(Var("bit", 1), 1);
    ASSERT_EQ(Var("bus", 2, 31, 0), 2);
    ASSERT_EQ(Var("ev", 3, 0, 0, 0), 3);
    ASSERT_EQ(Var("r", 4, 0, 0, 3, 0, 3), 4);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    const IncoreVar *marker = FindIncoreVar(obj_, 0);
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->value_size, 1u);
    EXPECT_TRUE(marker->flags & kVarDropRepeats);
    EXPECT_EQ(FindIncoreVar(obj_, 1)->value_size, 1u);
    EXPECT_TRUE(FindIncoreVar(obj_, 1)->flags & kVarDropRepeats);
    EXPECT_EQ(FindIncoreVar(obj_, 2)->value_size, 32u);
    EXPECT_FALSE(FindIncoreVar(obj_, 3)->flags & kVarDropRepeats) << "every event occurrence counts";
    EXPECT_EQ(FindIncoreVar(obj_, 4)->value_size, 8u) << "one double";
    EXPECT_FALSE(FindIncoreVar(obj_, 4)->flags & kVarDropRepeats);
    EXPECT_EQ(FindIncoreVar(obj_, 4)->flags & kVarBytesPerBitMask, 3u);
}

TEST_F(TreeTest, SameHandleTwiceIsAnAlias) {
    int net = 0;
    int other = 0;
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    uint8_t existed = 9;
    txwVarMapRec *first = txw_CreateVarRecByHandle(obj_, 15, 1, 0, 3, 0, &net, "n", 0, &existed);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(existed, 0);
    EXPECT_EQ(first->idcode, 1);
    EXPECT_EQ(first->bit_size, 4u);
    EXPECT_EQ(first->var_type, 15);
    txwVarMapRec *second = txw_CreateVarRecByHandle(obj_, 15, 2, 0, 3, 0, &net, "n_port", 0, &existed);
    EXPECT_EQ(second, first);
    EXPECT_EQ(existed, 1);
    EXPECT_EQ(txw_GetMaxVarIdcode(obj_), 1u);
    EXPECT_EQ(txwGetVarIdcodeByVarHdl(obj_, &net), 1);
    EXPECT_EQ(txwGetVarIdcodeByVarHdl(obj_, &other), TXW_ERROR);
    EXPECT_EQ(txw_GetVarMapRecByHdl(obj_, &other), nullptr);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    uint8_t code = 9;
    EXPECT_EQ(txwGetBpbByVarHdl(obj_, &net, &code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(txwGetBpbByVarHdl(obj_, &other, &code), TXW_ERROR);
}

TEST_F(TreeTest, DisabledRecordRefusesAnAliasExceptByPath) {
    int net = 0;
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    txwVarMapRec *record = txw_CreateVarByHandle(obj_, 15, 0, 0, 0, 0, &net, "n", 0);
    ASSERT_NE(record, nullptr);
    txw_DisableVarRec(obj_, record);
    EXPECT_FALSE(txw_IsVarRecEnabled(obj_, record));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(txw_CreateVarByHandle(obj_, 15, 0, 0, 0, 0, &net, "again", 0), nullptr);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(txw_CreateVarByHandleAndPath(obj_, 15, 0, 0, 0, 0, &net, "other", 0, "s.sub", "."), record);
    txw_EnableVarRec(obj_, record);
    EXPECT_TRUE(txw_IsVarRecEnabled(obj_, record));
    EXPECT_EQ(record->idcode, 1);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    EXPECT_EQ(obj_->header.U32(kHdrScopeCreationCnt), 2u) << "the path created s.sub";
}

TEST_F(TreeTest, PathFormMovesTheOpenScopes) {
    int a = 0;
    int b = 0;
    int c = 0;
    ASSERT_TRUE(txw_BeginTree(obj_));
    ASSERT_NE(txw_CreateVarByHandleAndPath(obj_, 15, 0, 0, 0, 0, &a, "a", 0, "top/u1", "/"), nullptr);
    ASSERT_NE(txw_CreateVarByHandleAndPath(obj_, 15, 0, 0, 0, 0, &b, "b", 0, "top/u2", "/"), nullptr);
    ASSERT_NE(txw_CreateVarByHandleAndPath(obj_, 15, 0, 0, 0, 0, &c, "c", 0, "top", "/"), nullptr);
    EXPECT_EQ(obj_->scope_path, (std::vector<std::string>{"top"}));
    ASSERT_NE(txw_CreateVarByHandleAndPath(obj_, 15, 0, 0, 0, 0, &c, "c2", 0, "", "/"), nullptr);
    EXPECT_TRUE(obj_->scope_path.empty());
    ASSERT_EQ(txw_EndTree(obj_), 0);
    EXPECT_EQ(obj_->header.U32(kHdrScopeCreationCnt), 3u) << "top, u1, u2";
}

TEST_F(TreeTest, HandlesHashByTheirSignificantBits) {
    EXPECT_EQ(HashHandle(reinterpret_cast<txwHandle>(0x1000)), 0x100u);
    EXPECT_EQ(HashHandle(reinterpret_cast<txwHandle>(0x1010)), 0x101u);
    EXPECT_EQ(HashHandle(reinterpret_cast<txwHandle>(0x1004)), 0x401u);
    EXPECT_EQ(HashHandle(reinterpret_cast<txwHandle>(0x1001)), 0x1001u);
}

void CountRecord(txwVarMapRec * /*record*/, void *count) { ++*static_cast<int *>(count); }

TEST_F(TreeTest, ForEachVisitsEveryRecordOnce) {
    std::vector<int> handles(5000);
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    for (int &handle : handles) {
        ASSERT_NE(txw_CreateVarByHandle(obj_, 15, 0, 0, 0, 0, &handle, "v", 0), nullptr);
    }
    ASSERT_EQ(txw_EndTree(obj_), 0);
    int count = 0;
    txw_ForEachVarMapRec(obj_, CountRecord, &count);
    EXPECT_EQ(count, 5000);
    for (size_t i = 0; i < handles.size(); i += 997) {
        EXPECT_EQ(txwGetVarIdcodeByVarHdl(obj_, &handles[i]), static_cast<int32_t>(i + 1));
    }
}

TEST_F(TreeTest, FullNamesTooLongFallBackToTheBareName) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    const std::string long_name(3000, 'n');
    for (int i = 0; i < 4; ++i) {
        Scope(long_name.c_str());
    }
    EXPECT_STREQ(txwGetFullHierName(obj_, "leaf", "."), "leaf");
    EXPECT_TRUE(Warned("Full hier name is too long - 1!\n"));
    EXPECT_EQ(obj_->header.U16(kHdrMaxStringLength), 3000u);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(txw_EndScope(obj_), 0);
    }
    Scope("top");
    Scope("mid");
    EXPECT_STREQ(txwGetFullHierName(obj_, "leaf", "/"), "top/mid/leaf");
    ASSERT_EQ(txw_EndTree(obj_), 0);
}

TEST_F(TreeTest, EndTreeSetsTheDefaultMemoryLimitAndTheTreeList) {
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    ASSERT_EQ(Var("a", 1), 1);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    ASSERT_NE(obj_->vc_memory, nullptr);
    EXPECT_EQ(obj_->header.U32(kHdrWriterMemLimit), kSmallestDefaultMemLimit) << "one variable";
    const Bytes list = ReadFileBytes(Path("tree.trax.tlist"));
    ASSERT_EQ(list.size(), 1u + 4 + 4 + 12 + 4 + 12 + 4);
    EXPECT_EQ(list[0], 0xF0);
    EXPECT_EQ(LoadU32(list, 1), 2u) << "idcodes 0 and 1";
    EXPECT_EQ(LoadU32(list, 5), 1u) << "one scope block";
    EXPECT_EQ(LoadU32(list, 21), 1u) << "one variable block";
    EXPECT_EQ(LoadU32(list, 37), 0u) << "no data type block";
    const Bytes chain = ReadFileBytes(Path("tree.trax.chain"));
    EXPECT_EQ(chain, Bytes(10, 0)) << "two idcodes, never changed";
}

TEST_F(TreeTest, MemoryLimitComesFromTheEnvironment) {
    txw_CloseFile(obj_);
    ScopedEnv limit("TRAX_ENV_WRITER_MEM_LIMIT", "5");
    obj_ = txw_OpenFile(Path("tree.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_TRUE(txw_BeginTree(obj_));
    Scope("s");
    ASSERT_EQ(Var("a", 1), 1);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    EXPECT_EQ(obj_->header.U32(kHdrWriterMemLimit), 5u);
}

}  // namespace
}  // namespace tavri::test
