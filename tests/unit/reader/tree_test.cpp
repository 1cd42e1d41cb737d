// Scope and variable trees: records read back field by field, literal stream
// bytes, aliases and idcode ranges across trees, and malformed streams.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

traxrScope Scope(traxrReader *reader, uint32_t index) {
    traxrScope scope{};
    EXPECT_EQ(traxr_GetScope(reader, index, &scope), TRAXR_OK);
    return scope;
}

traxrVar Var(traxrReader *reader, uint32_t index) {
    traxrVar var{};
    EXPECT_EQ(traxr_GetVar(reader, index, &var), TRAXR_OK);
    return var;
}

TEST(readerTree, ScopesAndVariablesKeepEveryField) {
    TraxBuilder b;
    ScopeDef inner = ScopeDef("blk", 3)
                         .Names("", "third")
                         .Fourth("extra")
                         .Flags(0x40)
                         .Vars({VarDef("neg", 3).Type(5).Dir(2).Bounds(-5, 300),
                                VarDef("big", 4).Type(6).Bpb(3).Bounds(70000, 0),
                                VarDef("typed", 5).DataType(513)});
    ScopeDef top = ScopeDef("top", 0)
                       .Names("top_mod", "")
                       .Flags(0x20)
                       .Vars({VarDef("clk", 1).Type(1).Dir(1), VarDef("data", 2).Bounds(7, 0)})
                       .Child(inner);
    ScopeDef second_top("other", 1);
    b.AddTree({top, second_top});
    const std::string path = PathFor("fields.trax");
    b.WriteFinished(path);

    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    ASSERT_EQ(traxr_ScopeCount(f.reader), 3u);
    const traxrScope s0 = Scope(f.reader, 0), s1 = Scope(f.reader, 1), s2 = Scope(f.reader, 2);
    EXPECT_STREQ(s0.name, "top");
    EXPECT_STREQ(s0.second_name, "top_mod");
    EXPECT_EQ(s0.parent, TRAXR_NONE);
    EXPECT_EQ(s0.trailer & 0x70, 0x20);
    EXPECT_EQ(s0.has_fourth_name, 0);
    EXPECT_EQ(s0.var_count, 2u);
    EXPECT_STREQ(s1.name, "blk");
    EXPECT_EQ(s1.type, 3);
    EXPECT_STREQ(s1.third_name, "third");
    EXPECT_EQ(s1.has_fourth_name, 1);
    EXPECT_STREQ(s1.fourth_name, "extra");
    EXPECT_EQ(s1.parent, 0u);
    EXPECT_EQ(s1.depth, 1u);
    EXPECT_EQ(s1.trailer & 0x70, 0x40);
    EXPECT_EQ(s1.first_var, 2u);
    EXPECT_EQ(s1.var_count, 3u);
    EXPECT_STREQ(s2.name, "other");
    EXPECT_EQ(s2.parent, TRAXR_NONE);
    EXPECT_EQ(s2.var_count, 0u);

    ASSERT_EQ(traxr_VarCount(f.reader), 5u);
    const traxrVar clk = Var(f.reader, 0), data = Var(f.reader, 1), neg = Var(f.reader, 2),
                   big = Var(f.reader, 3), typed = Var(f.reader, 4);
    EXPECT_STREQ(clk.name, "clk");
    EXPECT_EQ(clk.idcode, 1u);
    EXPECT_EQ(clk.direction, 1);
    EXPECT_EQ(clk.width, 1u);
    EXPECT_EQ(data.left, 7);
    EXPECT_EQ(data.right, 0);
    EXPECT_EQ(data.width, 8u);
    EXPECT_EQ(neg.left, -5);
    EXPECT_EQ(neg.right, 300);
    EXPECT_EQ(neg.direction, 2);
    EXPECT_EQ(neg.width, 306u);
    EXPECT_EQ(neg.scope, 1u);
    EXPECT_EQ(big.left, 70000);
    EXPECT_EQ(big.bytes_per_bit_code, 3);
    EXPECT_EQ(big.value_size, 70001u * 8);
    EXPECT_EQ(big.type_code, 6);
    EXPECT_EQ(typed.has_data_type, 1);
    EXPECT_EQ(typed.data_type, 513);
    EXPECT_EQ(clk.has_data_type, 0);
}

// Streams written byte by byte as the format lays them out.
TEST(readerTree, LiteralRecordsDecodeAsLaidOut) {
    TraxBuilder b;
    // Variable stream: 0xBF opens it, the group starts at position 1.
    const std::vector<uint8_t> vars = {
        0xBF, 0x03, 'v',  0,    0x02, 0x2C, 0x01, 0x01,  // left 300 in 2 bytes, idcode 1
        0x00, 'n',  0,    0x0F, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFE, 0xFF, 0xFF, 0xFF, 0x02,  // left -1, right -2
        0x41, 0x02, 0,    0,    0,    0xAA, 0xBB, 'd',
        0,    0x40, 0x03, 0x23,  // descriptor, dir 2, code 3
        0xC0, 1,    2,    3,    4,    'g',  0,    0x00,
        'a',  0,    0x10, 0x04, 0x00, 0xC1,  // attribute group, idcode 4 in 2 bytes
        0xFF};
    const std::vector<uint8_t> scopes = {0xFE, 0x07, 's', 0, 0, 0, 0x01, 0x01, 0, 0, 0, 0xFD, 0xFF};
    b.AddRawTree(scopes, vars, 4);
    const std::string path = PathFor("literal.trax");
    b.WriteFinished(path);

    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    ASSERT_EQ(traxr_VarCount(f.reader), 4u);
    const traxrVar v = Var(f.reader, 0), n = Var(f.reader, 1), d = Var(f.reader, 2),
                   a = Var(f.reader, 3);
    EXPECT_EQ(v.left, 300);
    EXPECT_EQ(v.right, 0);
    EXPECT_EQ(v.var_type, 3);
    EXPECT_EQ(n.left, -1);
    EXPECT_EQ(n.right, -2);
    EXPECT_EQ(n.idcode, 2u);
    EXPECT_EQ(d.descriptor_kind, 0x40);
    ASSERT_EQ(d.descriptor_length, 2u);
    EXPECT_EQ(d.descriptor[0], 0xAA);
    EXPECT_EQ(d.direction, 2);
    EXPECT_EQ(d.bytes_per_bit_code, 3);
    EXPECT_STREQ(a.name, "a");
    EXPECT_EQ(a.idcode, 4u);
    EXPECT_EQ(Scope(f.reader, 0).type, 7);
    EXPECT_EQ(Scope(f.reader, 0).var_group_position, 1u);
}

// File types outside 0, 6-13 and 15-17 store no descriptor even for a
// descriptor kind.
TEST(readerTree, DescriptorsOnlyInFileTypesThatStoreThem) {
    TraxBuilder b;
    b.file_type = 2;
    b.AddRawTree({0xFE, 0x00, 's', 0, 0, 0, 0x01, 0x01, 0, 0, 0, 0xFF},
                 {0xBF, 0x41, 'd', 0, 0x00, 0x01, 0xFF}, 1);
    const std::string path = PathFor("nodesc.trax");
    b.WriteFinished(path);
    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    const traxrVar d = Var(f.reader, 0);
    EXPECT_STREQ(d.name, "d");
    EXPECT_EQ(d.descriptor_length, 0u);
    EXPECT_EQ(d.idcode, 1u);
}

TEST(readerTree, AliasesAndIdcodeRangesAcrossTrees) {
    TraxBuilder b;
    b.AddTree({ScopeDef("t1").Vars({VarDef("a", 1), VarDef("b", 2), VarDef("a_again", 1)})});
    b.AddTree({ScopeDef("t2").Vars({VarDef("c", 3), VarDef("b_again", 2)})});
    b.AddSession({Scalar(1, {{5, 1}}), Scalar(2, {{6, 0}}), Scalar(3, {{7, 3}})});
    const std::string path = PathFor("aliases.trax");
    b.WriteFinished(path);

    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    ASSERT_EQ(traxr_TreeCount(f.reader), 2u);
    traxrTree t0{}, t1{};
    ASSERT_EQ(traxr_GetTree(f.reader, 0, &t0), TRAXR_OK);
    ASSERT_EQ(traxr_GetTree(f.reader, 1, &t1), TRAXR_OK);
    EXPECT_EQ(t0.first_idcode, 0u);
    EXPECT_EQ(t0.idcode_count, 3u);  // the dump-off marker 0, then 1 and 2
    EXPECT_EQ(t1.first_idcode, 3u);
    EXPECT_EQ(t1.idcode_count, 1u);
    EXPECT_EQ(t1.first_var, 3u);
    EXPECT_EQ(t1.var_count, 2u);

    EXPECT_EQ(traxr_MaxIdcode(f.reader), 3u);
    ASSERT_EQ(traxr_NameCount(f.reader, 2), 2u);
    uint32_t first = 0, second = 0;
    ASSERT_EQ(traxr_GetName(f.reader, 2, 0, &first), TRAXR_OK);
    ASSERT_EQ(traxr_GetName(f.reader, 2, 1, &second), TRAXR_OK);
    EXPECT_STREQ(Var(f.reader, first).name, "b");
    EXPECT_EQ(Var(f.reader, first).is_alias, 0);
    EXPECT_STREQ(Var(f.reader, second).name, "b_again");
    EXPECT_EQ(Var(f.reader, second).is_alias, 1);
    EXPECT_EQ(Var(f.reader, second).tree, 1u);
    uint32_t found = 0;
    ASSERT_EQ(traxr_FindVar(f.reader, 1, &found), TRAXR_OK);
    EXPECT_STREQ(Var(f.reader, found).name, "a");
    EXPECT_EQ(traxr_FindVar(f.reader, 4, &found), TRAXR_ERR_NOT_FOUND);
    // Aliases share the values of their idcode.
    const std::vector<Value> values = ReadValues(f.reader, 3);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].bits, "z");
}

struct BadTree {
    const char *what;
    std::vector<uint8_t> scopes;
    std::vector<uint8_t> vars;
};

TEST(readerTree, MalformedStreamsAreCorrupt) {
    const std::vector<BadTree> cases = {
        {"no begin-tree byte", {0x00, 's', 0, 0, 0, 0x00, 0xFF}, {0xBF}},
        {"end scope without scope", {0xFE, 0xFD, 0xFF}, {0xBF}},
        {"trailer with unknown bit", {0xFE, 0x00, 's', 0, 0, 0, 0x04, 0xFF}, {0xBF}},
        {"trailer announcing two widths",
         {0xFE, 0x00, 's', 0, 0, 0, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF},
         {0xBF}},
        {"bytes after end tree", {0xFE, 0xFF, 0x00}, {0xBF}},
        {"group outside the stream",
         {0xFE, 0x00, 's', 0, 0, 0, 0x01, 0, 0, 0x30, 0, 0xFF},
         {0xBF, 0x00, 'v', 0, 0, 1, 0xFF}},
        {"idcode above max",
         {0xFE, 0x00, 's', 0, 0, 0, 0x01, 1, 0, 0, 0, 0xFF},
         {0xBF, 0x00, 'v', 0, 0, 9, 0xFF}},
        {"idcode 0",
         {0xFE, 0x00, 's', 0, 0, 0, 0x01, 1, 0, 0, 0, 0xFF},
         {0xBF, 0x00, 'v', 0, 0, 0, 0xFF}},
        {"bytes-per-bit code 4",
         {0xFE, 0x00, 's', 0, 0, 0, 0x01, 1, 0, 0, 0, 0xFF},
         {0xBF, 0x00, 'v', 0, 0x40, 1, 0x04, 0xFF}},
        {"both idcode widths",
         {0xFE, 0x00, 's', 0, 0, 0, 0x01, 1, 0, 0, 0, 0xFF},
         {0xBF, 0x00, 'v', 0, 0x30, 1, 0, 0, 0, 0xFF}},
        {"group without end",
         {0xFE, 0x00, 's', 0, 0, 0, 0x01, 1, 0, 0, 0, 0xFF},
         {0xBF, 0x00, 'v', 0, 0, 1}},
        {"var type of kind 0xC0",
         {0xFE, 0x00, 's', 0, 0, 0, 0x01, 1, 0, 0, 0, 0xFF},
         {0xBF, 0xC5, 'v', 0, 0, 1, 0xFF}},
    };
    for (const BadTree &c : cases) {
        TraxBuilder b;
        b.AddRawTree(c.scopes, c.vars, 1);
        const std::string path = PathFor("badtree.trax");
        b.WriteFinished(path);
        Opened f(path);
        EXPECT_EQ(f.status, TRAXR_ERR_CORRUPT) << c.what << ": " << f.message;
        EXPECT_EQ(f.reader, nullptr);
    }
}

// A scope's group must lie in its own tree's variable blocks.
TEST(readerTree, GroupInAnotherTreesBlocksIsCorrupt) {
    TraxBuilder b;
    b.AddTree({ScopeDef("t1").Vars({VarDef("a", 1)})});
    // Position 1 is the first tree's group.
    b.AddRawTree({0xFE, 0x00, 's', 0, 0, 0, 0x01, 1, 0, 0, 0, 0xFF}, {0x00, 'v', 0, 0, 2, 0xFF}, 1);
    const std::string path = PathFor("crosstree.trax");
    b.WriteFinished(path);
    Opened f(path);
    EXPECT_EQ(f.status, TRAXR_ERR_CORRUPT) << f.message;
}

}  // namespace
}  // namespace tavri::reader_test
