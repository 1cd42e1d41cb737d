// Task calls and their arguments through the TF routines and the ACC
// argument routines, for every kind of argument.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/sim_routines.h"
#include "support/model_sim.h"
#include "test_tasks.h"

namespace tavri::test {
namespace {

using sim::g_sim;

class ModelSimTaskArgs : public ::testing::Test {
protected:
    ModelSimTaskArgs() {
        top = model.AddTopModule("top");
        s = model.AddNet(top, "s");
        n = model.AddNet(top, "n", 3, 0);
        r = model.AddReg(top, "r", 7, 0);
        i = model.AddInteger(top, "i");
        t = model.AddTime(top, "t");
        re = model.AddReal(top, "re");
        ev = model.AddEvent(top, "ev");
        ip = model.AddIntParam(top, "IP", -6);
        rp = model.AddRealParam(top, "RP", 0.25);
        sp = model.AddStringParam(top, "SP", "ok");
        mem = model.AddMemory(top, "mem", 9, 0, 3, 1);
        tasks.Add("$t", {.call = [this] {
                             if (probe) {
                                 probe();
                             }
                             return 0;
                         }});
    }

    // Runs `$t...` written as `source` in `scope`, with `body` as its calltf.
    TaskCall *Run(const std::string &source, std::function<void()> body, Scope *scope = nullptr) {
        probe = std::move(body);
        return model.RunTask(scope == nullptr ? top : scope, source);
    }

    ModelSim model;
    TestTasks tasks;
    std::function<void()> probe;
    Scope *top;
    Signal *s, *n, *r, *i, *t;
    RealVar *re;
    NamedEvent *ev;
    Parameter *ip, *rp, *sp;
    Memory *mem;
};

TEST_F(ModelSimTaskArgs, DistinguishesNoArgumentListFromOneEmptyArgument) {
    int nump = -1;
    int type = -1;
    Run("$t", [&] {
        nump = g_sim.tf_nump();
        type = g_sim.tf_typep(1);
    });
    EXPECT_EQ(nump, 0);
    EXPECT_EQ(type, tf_nullparam);

    p_tfexprinfo info_result = nullptr;
    s_tfexprinfo info{};
    Run("$t()", [&] {
        nump = g_sim.tf_nump();
        type = g_sim.tf_typep(1);
        info_result = g_sim.tf_exprinfo(1, &info);
    });
    EXPECT_EQ(nump, 1);
    EXPECT_EQ(type, tf_nullparam);
    EXPECT_EQ(info_result, &info);
    EXPECT_EQ(info.expr_type, tf_nullparam);

    std::vector<int> types;
    Run("$t(r, , \"x\")", [&] {
        nump = g_sim.tf_nump();
        for (int k = 1; k <= 3; ++k) {
            types.push_back(g_sim.tf_typep(k));
        }
    });
    EXPECT_EQ(nump, 3);
    EXPECT_EQ(types, (std::vector<int>{tf_readwrite, tf_nullparam, tf_string}));
}

TEST_F(ModelSimTaskArgs, ClassifiesEveryArgumentKind) {
    const std::pair<const char *, int> cases[] = {
        {"\"text\"", tf_string},     {"s", tf_readonly},         {"n", tf_readonly},
        {"n[1]", tf_readonly},       {"n[2:1]", tf_readonly},    {"r", tf_readwrite},
        {"r[3]", tf_rwbitselect},    {"r[5:2]", tf_rwpartselect}, {"i", tf_readwrite},
        {"i[4]", tf_rwbitselect},    {"t", tf_readwrite},        {"mem", tf_readwrite},
        {"mem[2]", tf_rwmemselect},  {"re", tf_readwritereal},   {"RP", tf_readonlyreal},
        {"IP", tf_readonly},         {"SP", tf_readonly},        {"ev", tf_readonly},
        {"top", tf_readonly},        {"5", tf_readonly},         {"4'b10xz", tf_readonly},
        {"2.5", tf_readonlyreal},    {"", tf_nullparam},
    };
    std::string source = "$t(";
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        source += (k == 0 ? "" : ", ") + std::string(cases[k].first);
    }
    source += ")";
    std::vector<int> types;
    int beyond = -1;
    Run(source, [&] {
        for (int k = 1; k <= g_sim.tf_nump(); ++k) {
            types.push_back(g_sim.tf_typep(k));
        }
        beyond = g_sim.tf_typep(g_sim.tf_nump() + 1);
    });
    ASSERT_EQ(types.size(), std::size(cases));
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_EQ(types[k], cases[k].second) << "argument " << cases[k].first;
    }
    EXPECT_EQ(beyond, tf_nullparam);

    // A bit object passed directly counts as a bit select.
    int bit_type = -1;
    probe = [&] { bit_type = g_sim.tf_typep(1); };
    model.RunCall(model.AddTaskCall(top, "$t", {Arg::Ref(model.BitOf(r, 0))}));
    EXPECT_EQ(bit_type, tf_rwbitselect);
}

TEST_F(ModelSimTaskArgs, DescribesExpressions) {
    model.SetValue(r, "1010_x01z");
    model.SetValue(n, "01zx");
    std::vector<s_tfexprinfo> infos(8);
    std::vector<std::vector<s_vecval>> values(8);
    p_tfexprinfo outside = &infos[0];
    Run("$t(\"hello\", r, -7, 2.5, r[5:2], n, 40'hf_0000_0001, i)", [&] {
        for (int k = 1; k <= 8; ++k) {
            p_tfexprinfo info = g_sim.tf_exprinfo(k, &infos[static_cast<std::size_t>(k - 1)]);
            ASSERT_EQ(info, &infos[static_cast<std::size_t>(k - 1)]);
            if (info->expr_value_p != nullptr) {
                values[static_cast<std::size_t>(k - 1)].assign(info->expr_value_p,
                                                                info->expr_value_p + info->expr_ngroups);
            }
        }
        s_tfexprinfo spare{};
        outside = g_sim.tf_exprinfo(9, &spare);
    });
    EXPECT_EQ(outside, nullptr);

    EXPECT_EQ(infos[0].expr_type, tf_string);
    EXPECT_STREQ(infos[0].expr_string, "hello");

    EXPECT_EQ(infos[1].expr_type, tf_readwrite);
    EXPECT_EQ(infos[1].expr_vec_size, 8);
    ASSERT_EQ(infos[1].expr_ngroups, 1);
    EXPECT_EQ(values[1][0].avalbits, 0b1010'1010);  // x reads a=1,b=1; z a=0,b=1
    EXPECT_EQ(values[1][0].bvalbits, 0b0000'1001);
    EXPECT_EQ(infos[1].expr_sign, 0);

    EXPECT_EQ(infos[2].expr_vec_size, 32);
    EXPECT_EQ(values[2][0].avalbits, -7);
    EXPECT_EQ(values[2][0].bvalbits, 0);
    EXPECT_EQ(infos[2].expr_sign, 1);

    EXPECT_EQ(infos[3].expr_type, tf_readonlyreal);
    EXPECT_DOUBLE_EQ(infos[3].real_value, 2.5);

    EXPECT_EQ(infos[4].expr_type, tf_rwpartselect);
    EXPECT_EQ(infos[4].expr_vec_size, 4);
    EXPECT_EQ(values[4][0].avalbits, 0b1010);  // r[5:2] = "10x0"
    EXPECT_EQ(values[4][0].bvalbits, 0b0010);
    EXPECT_EQ(infos[4].expr_lhs_select, 5);
    EXPECT_EQ(infos[4].expr_rhs_select, 2);

    EXPECT_EQ(infos[5].expr_type, tf_readonly);
    EXPECT_EQ(values[5][0].avalbits, 0b0101);  // "01zx"
    EXPECT_EQ(values[5][0].bvalbits, 0b0011);

    EXPECT_EQ(infos[6].expr_vec_size, 40);
    ASSERT_EQ(infos[6].expr_ngroups, 2);
    EXPECT_EQ(values[6][0].avalbits, 1);
    EXPECT_EQ(values[6][1].avalbits, 0xf);

    EXPECT_EQ(infos[7].expr_sign, 1);  // integer variables are signed
    EXPECT_EQ(values[7][0].avalbits, -1);  // x until set
    EXPECT_EQ(values[7][0].bvalbits, -1);
}

TEST_F(ModelSimTaskArgs, DescribesNodesOfEveryVariableKind) {
    model.SetValue(r, "1100_0011");
    model.SetInteger(i, -2);
    model.SetInteger(t, (std::int64_t{1} << 40) + 5);
    model.SetReal(re, 1.25);
    model.SetValue(n, "1x0z");
    model.SetValue(s, "1", vclPull);
    std::vector<s_tfnodeinfo> nodes(6);
    std::vector<s_vecval> reg_groups, int_groups, time_groups, net_groups;
    s_strengthval scalar{-1, -1};
    double real = 0;
    Run("$t(r[2], i, t, n, s, re)", [&] {
        for (int k = 1; k <= 6; ++k) {
            ASSERT_NE(g_sim.tf_nodeinfo(k, &nodes[static_cast<std::size_t>(k - 1)]), nullptr) << k;
        }
        reg_groups.assign(nodes[0].node_value.vecval_p, nodes[0].node_value.vecval_p + 1);
        int_groups.assign(nodes[1].node_value.vecval_p, nodes[1].node_value.vecval_p + 1);
        time_groups.assign(nodes[2].node_value.vecval_p, nodes[2].node_value.vecval_p + 2);
        net_groups.assign(nodes[3].node_value.vecval_p, nodes[3].node_value.vecval_p + 1);
        scalar = *nodes[4].node_value.strengthval_p;
        real = *nodes[5].node_value.real_val_p;
    });
    // A bit select describes the whole reg.
    EXPECT_EQ(nodes[0].node_type, tf_reg_node);
    EXPECT_STREQ(nodes[0].node_symbol, "r");
    EXPECT_EQ(nodes[0].node_vec_size, 8);
    EXPECT_EQ(nodes[0].node_ms_index, 7);
    EXPECT_EQ(nodes[0].node_ls_index, 0);
    EXPECT_EQ(reg_groups[0].avalbits, 0xc3);
    EXPECT_EQ(nodes[0].node_handle, reinterpret_cast<int *>(static_cast<void *>(static_cast<Object *>(r))));

    EXPECT_EQ(nodes[1].node_type, tf_integer_node);
    EXPECT_EQ(nodes[1].node_sign, 1);
    EXPECT_EQ(nodes[1].node_vec_size, 32);
    EXPECT_EQ(int_groups[0].avalbits, -2);
    EXPECT_EQ(int_groups[0].bvalbits, 0);

    EXPECT_EQ(nodes[2].node_type, tf_time_node);
    EXPECT_EQ(nodes[2].node_ngroups, 2);
    EXPECT_EQ(time_groups[0].avalbits, 5);
    EXPECT_EQ(time_groups[1].avalbits, 1 << 8);

    EXPECT_EQ(nodes[3].node_type, tf_netvector_node);
    EXPECT_EQ(net_groups[0].avalbits, 0b1100);
    EXPECT_EQ(net_groups[0].bvalbits, 0b0101);

    EXPECT_EQ(nodes[4].node_type, tf_netscalar_node);
    EXPECT_EQ(scalar.strength0, 0);  // a driven 1: only the 1 component
    EXPECT_EQ(scalar.strength1, vclPull);

    EXPECT_EQ(nodes[5].node_type, tf_real_node);
    EXPECT_DOUBLE_EQ(real, 1.25);
}

TEST_F(ModelSimTaskArgs, LaysMemoryCellsOutAsGroupedAAndBBytes) {
    // reg [9:0] mem [3:1]: cells ascend by index, so cell 0 is mem[1].
    model.SetWord(mem, 1, "1x_zzzz_0001");
    model.SetWord(mem, 2, "00_0000_0000");
    model.SetWord(mem, 3, "z1_1111_1111");
    s_tfnodeinfo node{};
    std::vector<unsigned char> bytes;
    p_tfnodeinfo result = nullptr;
    Run("$t(mem)", [&] {
        result = g_sim.tf_nodeinfo(1, &node);
        ASSERT_NE(result, nullptr);
        const auto *p = reinterpret_cast<const unsigned char *>(node.node_value.memoryval_p);
        bytes.assign(p, p + 2 * node.node_ngroups * node.node_mem_size);
    });
    EXPECT_EQ(result, &node);
    EXPECT_EQ(node.node_type, tf_memory_node);
    EXPECT_STREQ(node.node_symbol, "mem");
    EXPECT_EQ(node.node_ngroups, 2);
    EXPECT_EQ(node.node_vec_size, 10);
    EXPECT_EQ(node.node_ms_index, 9);
    EXPECT_EQ(node.node_ls_index, 0);
    EXPECT_EQ(node.node_mem_size, 3);
    EXPECT_EQ(node.node_lhs_element, 3);
    EXPECT_EQ(node.node_rhs_element, 1);
    EXPECT_EQ(node.node_handle, reinterpret_cast<int *>(static_cast<void *>(static_cast<Object *>(mem))));
    // Each cell: A bytes (low group first), then B bytes.
    const std::vector<unsigned char> expected = {
        0x01, 0x03, 0xf0, 0x01,  // mem[1] = 1x zzzz 0001
        0x00, 0x00, 0x00, 0x00,  // mem[2]
        0xff, 0x01, 0x00, 0x02,  // mem[3] = z1 1111 1111
    };
    EXPECT_EQ(bytes, expected);

    // A word select describes the same memory.
    s_tfnodeinfo word{};
    Run("$t(mem[2])", [&] { ASSERT_NE(g_sim.tf_nodeinfo(1, &word), nullptr); });
    EXPECT_EQ(word.node_type, tf_memory_node);
    EXPECT_EQ(word.node_mem_size, 3);
}

TEST_F(ModelSimTaskArgs, HasNoNodesForStringsConstantsAndScopes) {
    std::vector<bool> missing;
    std::vector<int> node_types;
    Run("$t(\"s\", 5, 1.5, top, IP, )", [&] {
        for (int k = 1; k <= 6; ++k) {
            s_tfnodeinfo node{};
            node.node_type = 12345;
            missing.push_back(g_sim.tf_nodeinfo(k, &node) == nullptr);
            node_types.push_back(node.node_type);
        }
    });
    EXPECT_EQ(missing, std::vector<bool>(6, true));
    EXPECT_EQ(node_types, std::vector<int>(6, tf_null_node));
}

TEST_F(ModelSimTaskArgs, ReadsArgumentsAsStrings) {
    model.SetInteger(r, 'H');
    std::vector<const char *> texts;
    std::vector<std::string> copies;
    Run("$t(\"lit\\\"q\", r, 16'h4869, , top, 65, 2.5)", [&] {
        for (int k = 1; k <= 7; ++k) {
            const char *text = g_sim.tf_getcstringp(k);
            texts.push_back(text);
            copies.push_back(text == nullptr ? "<null>" : text);
        }
    });
    EXPECT_EQ(copies, (std::vector<std::string>{"lit\"q", "H", "Hi", "<null>", "<null>", "A", "<null>"}));
}

TEST_F(ModelSimTaskArgs, HandsOutObjectHandlesAndConstantObjects) {
    Signal *bus = model.AddNet(top, "bus", 3, 0);
    std::vector<handle> handles;
    std::vector<int> ints;
    std::vector<std::string> strs;
    std::string constant_value;
    int constant_type = 0;
    int constant_fulltype = 0;
    model.SetValue(r, "0100_0001");
    Run("$t(r, bus[2], 5, \"str\", , top, mem, -7, 2.5, r[3:0])", [&] {
        for (int k = 1; k <= 10; ++k) {
            handles.push_back(g_sim.acc_handle_tfarg(k));
            ints.push_back(g_sim.acc_fetch_tfarg_int(k));
            const char *str = g_sim.acc_fetch_tfarg_str(k);
            strs.push_back(str == nullptr ? "<null>" : str);
        }
        constant_type = g_sim.acc_fetch_type(handles[2]);
        constant_fulltype = g_sim.acc_fetch_fulltype(handles[2]);
        constant_value = g_sim.acc_fetch_value(handles[2], "%d", nullptr);
    });
    EXPECT_EQ(handles[0], r);
    EXPECT_EQ(handles[1], model.BitOf(bus, 2));
    ASSERT_NE(handles[2], nullptr);
    EXPECT_EQ(constant_type, accConstant);
    EXPECT_EQ(constant_fulltype, accConstant);
    EXPECT_EQ(constant_value, "5");
    EXPECT_EQ(handles[3], nullptr);  // string literal
    EXPECT_EQ(handles[4], nullptr);  // empty
    EXPECT_EQ(handles[5], top);
    EXPECT_EQ(handles[6], mem);
    EXPECT_NE(handles[7], nullptr);
    EXPECT_NE(handles[7], handles[2]);  // one constant object per argument

    EXPECT_EQ(ints[0], 65);
    EXPECT_EQ(ints[2], 5);
    EXPECT_EQ(ints[7], -7);
    EXPECT_EQ(ints[8], 3);  // 2.5 rounds away from zero
    EXPECT_EQ(ints[9], 1);
    EXPECT_EQ(strs[0], "A");
    EXPECT_EQ(strs[3], "str");
    EXPECT_EQ(strs[4], "<null>");
    EXPECT_EQ(strs[5], "<null>");
}

TEST_F(ModelSimTaskArgs, MakesTheRunningInstanceTheCallingContext) {
    Scope *u1 = model.AddModule(top, "u1", "cpu");
    Scope *blk = model.AddBlock(u1, "blk", accSeqBlock);
    std::vector<char *> instances;
    std::string mipname;
    TaskCall *call = nullptr;
    tasks.Add("$ctx", {.check = [&] {
                           instances.push_back(g_sim.tf_getinstance());
                           return 1;
                       },
                       .call = [&] {
                           instances.push_back(g_sim.tf_getinstance());
                           mipname = g_sim.tf_mipname();
                           g_sim.tf_setdelay(1);
                           return 0;
                       },
                       .misc = [&](int) { instances.push_back(g_sim.tf_getinstance()); }});
    call = model.RunTask(blk, "$ctx");
    model.RunCall(call);
    model.RunPending();
    ASSERT_EQ(instances.size(), 5U);  // checktf, calltf twice, two reactivations
    for (char *instance : instances) {
        EXPECT_EQ(instance, call->instance());
    }
    EXPECT_EQ(mipname, "top.u1.blk");
    EXPECT_EQ(call->check_result, 1);
    EXPECT_EQ(call->call_count, 2);
    EXPECT_EQ(g_sim.tf_getinstance(), nullptr);  // nothing runs now
    EXPECT_EQ(g_sim.tf_nump(), 0);
}

TEST_F(ModelSimTaskArgs, BuildsTheSameCallFromArgLists) {
    std::vector<int> types;
    std::string text;
    model.SetValue(r, "0100_0010");
    probe = [&] {
        for (int k = 1; k <= g_sim.tf_nump(); ++k) {
            types.push_back(g_sim.tf_typep(k));
        }
        text = g_sim.tf_getcstringp(1);
    };
    TaskCall *call = model.AddTaskCall(
        top, "$t",
        {Arg::Ref(r), Arg::Empty(), Arg::String("s"), Arg::Int(1), Arg::Real(0.5), Arg::BitSelect(r, 1),
         Arg::PartSelect(r, 3, 0), Arg::WordSelect(mem, 1), Arg::Bits("1x")});
    model.RunCall(call);
    EXPECT_EQ(types, (std::vector<int>{tf_readwrite, tf_nullparam, tf_string, tf_readonly, tf_readonlyreal,
                                       tf_rwbitselect, tf_rwpartselect, tf_rwmemselect, tf_readonly}));
    EXPECT_EQ(text, "B");
}

TEST_F(ModelSimTaskArgs, RefusesCallsThatCannotBeBuilt) {
    EXPECT_THROW(model.AddTaskCall(top, "$t(nothing)"), std::invalid_argument);
    EXPECT_THROW(model.AddTaskCall(top, "$unknown(r)"), std::invalid_argument);
    EXPECT_THROW(model.AddTaskCall(top, "$t(r[8])"), std::invalid_argument);
    EXPECT_THROW(model.AddTaskCall(top, "$t(r[1:4])"), std::invalid_argument);
    EXPECT_THROW(model.AddTaskCall(top, "$t(mem[0])"), std::invalid_argument);
    EXPECT_THROW(model.AddTaskCall(top, "$t(\"open)"), std::invalid_argument);
    EXPECT_THROW(model.AddTaskCall(top, "t(r)"), std::invalid_argument);
    EXPECT_TRUE(model.TaskCalls().empty());
}

}  // namespace
}  // namespace tavri::test
