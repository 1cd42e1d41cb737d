// The design seen through ACC: iteration orders, names, types and
// properties, ports, collapsed nets and name lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_routines.h"
#include "support/model_sim.h"
#include "test_tasks.h"

namespace tavri::test {
namespace {

using sim::g_sim;

std::string Name(handle h) {
    const char *name = g_sim.acc_fetch_name(h);
    return name == nullptr ? "<null>" : name;
}

std::string Full(handle h) {
    const char *name = g_sim.acc_fetch_fullname(h);
    return name == nullptr ? "<null>" : name;
}

// Names of everything an iteration routine yields.
template <typename Next>
std::vector<std::string> Collect(Next next) {
    std::vector<std::string> names;
    for (handle h = next(nullptr); h != nullptr; h = next(h)) {
        names.push_back(Name(h));
    }
    return names;
}

class ModelSimDesign : public ::testing::Test {
protected:
    ModelSimDesign() {
        top = model.AddTopModule("top", "testbench");
        clk = model.AddNet(top, "clk");
        data = model.AddReg(top, "data", 7, 0);
        u1 = model.AddModule(top, "u1", "cpu");
        count = model.AddInteger(top, "count");
        width = model.AddIntParam(top, "WIDTH", 8);
        task = model.AddTask(top, "load");
        cell = model.AddCell(top, "buf0", "BUF");
        bus = model.AddNet(u1, "bus", 0, 3, accTri);
        block = model.AddBlock(u1, "loop", accNamedForkStat);
        inner = model.AddReg(block, "i");
        second_top = model.AddTopModule("glue");
    }

    ModelSim model;
    Scope *top, *u1, *task, *cell, *block, *second_top;
    Signal *clk, *data, *count, *bus, *inner;
    Parameter *width;
};

TEST_F(ModelSimDesign, IteratesTopModulesScopesAndObjectsInDeclarationOrder) {
    EXPECT_EQ(Collect([](handle p) { return g_sim.acc_next_topmod(p); }),
              (std::vector<std::string>{"top", "glue"}));
    EXPECT_EQ(Collect([this](handle p) { return g_sim.acc_next_scope(top, p); }),
              (std::vector<std::string>{"u1", "load", "buf0"}));
    EXPECT_EQ(Collect([this](handle p) { return g_sim.acc_next_scope(u1, p); }),
              (std::vector<std::string>{"loop"}));

    // Types and fulltypes both select; the list order does not matter.
    int nets_and_regs[] = {accReg, accNet, 0};
    EXPECT_EQ(Collect([&](handle p) { return g_sim.acc_next(nets_and_regs, top, p); }),
              (std::vector<std::string>{"clk", "data"}));
    int variables[] = {accIntegerVar, accParameter, 0};
    EXPECT_EQ(Collect([&](handle p) { return g_sim.acc_next(variables, top, p); }),
              (std::vector<std::string>{"count", "WIDTH"}));
    int by_fulltype[] = {accTri, accCellInstance, 0};
    EXPECT_EQ(Collect([&](handle p) { return g_sim.acc_next(by_fulltype, top, p); }),
              (std::vector<std::string>{"buf0"}));
    EXPECT_EQ(Collect([&](handle p) { return g_sim.acc_next(by_fulltype, u1, p); }),
              (std::vector<std::string>{"bus"}));
    int modules[] = {accModule, 0};
    EXPECT_EQ(Collect([&](handle p) { return g_sim.acc_next(modules, top, p); }),
              (std::vector<std::string>{"u1", "buf0"}));
    int regs[] = {accReg, 0};
    EXPECT_EQ(Collect([&](handle p) { return g_sim.acc_next(regs, block, p); }),
              (std::vector<std::string>{"i"}));
}

TEST_F(ModelSimDesign, NeverReturnsMemoriesFromAccNext) {
    model.AddMemory(top, "mem", 7, 0, 0, 3);
    model.AddReg(top, "after");
    int regs[] = {accReg, 0};
    EXPECT_EQ(Collect([&](handle p) { return g_sim.acc_next(regs, top, p); }),
              (std::vector<std::string>{"data", "after"}));
}

TEST_F(ModelSimDesign, IteratesBitsLeftIndexFirst) {
    EXPECT_EQ(Collect([this](handle p) { return g_sim.acc_next_bit(data, p); }),
              (std::vector<std::string>{"data[7]", "data[6]", "data[5]", "data[4]", "data[3]", "data[2]",
                                        "data[1]", "data[0]"}));
    EXPECT_EQ(Collect([this](handle p) { return g_sim.acc_next_bit(bus, p); }),
              (std::vector<std::string>{"bus[0]", "bus[1]", "bus[2]", "bus[3]"}));
    handle bit = g_sim.acc_next_bit(bus, nullptr);
    EXPECT_EQ(g_sim.acc_fetch_type(bit), accNetBit);
    EXPECT_EQ(Full(bit), "top.u1.bus[0]");
    EXPECT_EQ(g_sim.acc_fetch_type(g_sim.acc_next_bit(data, nullptr)), accRegBit);
    EXPECT_EQ(g_sim.acc_next_bit(clk, nullptr), nullptr);  // a scalar has no bits
}

TEST_F(ModelSimDesign, DescribesPortsInDeclarationOrder) {
    Signal *u1_clk = model.AddNet(u1, "clk");
    Signal *u1_out = model.AddReg(u1, "q", 7, 0);
    Port *p_clk = model.AddPort(u1, "clk", accInput, u1_clk, clk);
    Port *p_out = model.AddPort(u1, "q", accOutput, u1_out, data);
    Port *p_io = model.AddPort(u1, "bus", accInout, bus);

    EXPECT_EQ(Collect([this](handle p) { return g_sim.acc_next_port(u1, p); }),
              (std::vector<std::string>{"clk", "q", "bus"}));
    EXPECT_EQ(g_sim.acc_fetch_type(p_clk), accPort);
    EXPECT_EQ(g_sim.acc_fetch_fulltype(p_clk), accScalarPort);
    EXPECT_EQ(g_sim.acc_fetch_fulltype(p_out), accVectorPort);
    EXPECT_EQ(g_sim.acc_fetch_size(p_out), 8);
    EXPECT_EQ(g_sim.acc_fetch_direction(p_clk), accInput);
    EXPECT_EQ(g_sim.acc_fetch_direction(p_out), accOutput);
    EXPECT_EQ(g_sim.acc_fetch_direction(p_io), accInout);
    EXPECT_EQ(g_sim.acc_handle_hiconn(p_clk), clk);
    EXPECT_EQ(g_sim.acc_handle_hiconn(p_out), data);
    EXPECT_EQ(g_sim.acc_handle_hiconn(p_io), nullptr);
    EXPECT_EQ(g_sim.acc_handle_parent(p_out), u1);
    EXPECT_EQ(Full(p_out), "top.u1.q");

    // The objects a port connects inside report its direction; others 0.
    EXPECT_EQ(g_sim.acc_fetch_direction(u1_out), accOutput);
    EXPECT_EQ(g_sim.acc_fetch_direction(bus), accInout);
    EXPECT_EQ(g_sim.acc_fetch_direction(clk), 0);
    EXPECT_EQ(g_sim.acc_next_port(top, nullptr), nullptr);
}

TEST_F(ModelSimDesign, ReportsTypesFulltypesAndProperties) {
    struct Expected {
        handle object;
        int type;
        int fulltype;
    };
    Signal *wand = model.AddNet(top, "w", accWand);
    Scope *begin = model.AddBlock(top, "b716", accBeginKind716);
    Scope *function = model.AddFunction(top, "f");
    NamedEvent *event = model.AddEvent(top, "ev");
    Parameter *rp = model.AddRealParam(top, "RP", 1.5);
    Parameter *sp = model.AddStringParam(top, "SP", "hi");
    const Expected cases[] = {
        {top, accModule, accTopModule},        {u1, accModule, accModuleInstance},
        {cell, accModule, accCellInstance},    {task, accTask, accTask},
        {function, accFunction, accFunction},  {block, accScope, accNamedForkStat},
        {begin, accScope, accBeginKind716},    {clk, accNet, accWire},
        {wand, accNet, accWand},               {bus, accNet, accTri},
        {data, accReg, accReg},                {count, accIntegerVar, accIntegerVar},
        {event, accNamedEvent, accNamedEvent}, {width, accParameter, accIntegerParam},
        {rp, accParameter, accRealParam},      {sp, accParameter, accStringParam},
    };
    for (const Expected &c : cases) {
        SCOPED_TRACE(Full(c.object));
        EXPECT_EQ(g_sim.acc_fetch_type(c.object), c.type);
        EXPECT_EQ(g_sim.acc_fetch_fulltype(c.object), c.fulltype);
        EXPECT_TRUE(g_sim.acc_object_of_type(c.object, c.type));
        EXPECT_TRUE(g_sim.acc_object_of_type(c.object, c.fulltype));
    }

    for (handle scope : {handle(top), handle(u1), handle(task), handle(function), handle(block)}) {
        EXPECT_TRUE(g_sim.acc_object_of_type(scope, accScope)) << Full(scope);
    }
    EXPECT_FALSE(g_sim.acc_object_of_type(clk, accScope));
    EXPECT_FALSE(g_sim.acc_object_of_type(top, accModuleInstance));

    EXPECT_TRUE(g_sim.acc_object_of_type(clk, accScalar));
    EXPECT_FALSE(g_sim.acc_object_of_type(clk, accVector));
    EXPECT_TRUE(g_sim.acc_object_of_type(data, accVector));
    EXPECT_FALSE(g_sim.acc_object_of_type(data, accScalar));
    EXPECT_TRUE(g_sim.acc_object_of_type(model.BitOf(data, 3), accScalar));
    EXPECT_FALSE(g_sim.acc_object_of_type(count, accVector));  // integers are neither
    EXPECT_FALSE(g_sim.acc_object_of_type(count, accScalar));

    EXPECT_FALSE(g_sim.acc_object_of_type(bus, accExpandedVector));
    bus->expanded = true;
    EXPECT_TRUE(g_sim.acc_object_of_type(bus, accExpandedVector));

    EXPECT_FALSE(g_sim.acc_object_of_type(u1, accProtected));
    u1->is_protected = true;
    EXPECT_TRUE(g_sim.acc_object_of_type(u1, accProtected));
    EXPECT_FALSE(g_sim.acc_object_of_type(top, accProtected));
}

TEST_F(ModelSimDesign, NamesTypeCodes) {
    const std::pair<int, const char *> names[] = {
        {accNet, "accNet"},           {accReg, "accReg"},         {accModule, "accModule"},
        {accTopModule, "accTopModule"}, {accWire, "accWire"},     {accIntegerVar, "accIntegerVar"},
        {accNamedBeginStat, "accNamedBeginStat"}, {accConstant, "accConstant"},
    };
    for (const auto &[code, name] : names) {
        EXPECT_STREQ(g_sim.acc_fetch_type_str(code), name);
    }
    EXPECT_EQ(g_sim.acc_fetch_type_str(12345), nullptr);
}

TEST_F(ModelSimDesign, FetchesNamesFullNamesAndDefinitionNames) {
    EXPECT_EQ(Name(inner), "i");
    EXPECT_EQ(Full(inner), "top.u1.loop.i");
    EXPECT_EQ(Full(second_top), "glue");
    EXPECT_EQ(Full(model.BitOf(data, 2)), "top.data[2]");
    EXPECT_STREQ(g_sim.acc_fetch_defname(top), "testbench");
    EXPECT_STREQ(g_sim.acc_fetch_defname(u1), "cpu");
    EXPECT_STREQ(g_sim.acc_fetch_defname(cell), "BUF");
    EXPECT_STREQ(g_sim.acc_fetch_defname(second_top), "glue");  // defaults to the instance name
    EXPECT_EQ(g_sim.acc_fetch_defname(task), nullptr);

    clk->name_fetch_fails = true;
    EXPECT_EQ(g_sim.acc_fetch_name(clk), nullptr);
    EXPECT_EQ(g_sim.acc_fetch_fullname(clk), nullptr);
}

TEST_F(ModelSimDesign, KeepsReturnedStringsThroughTheRing) {
    const char *first = g_sim.acc_fetch_fullname(inner);
    std::vector<const char *> later;
    for (int i = 0; i < ModelSim::kAccStringRing - 1; ++i) {
        later.push_back(g_sim.acc_fetch_name(clk));
    }
    EXPECT_STREQ(first, "top.u1.loop.i");
    for (const char *name : later) {
        EXPECT_STREQ(name, "clk");
    }
}

TEST_F(ModelSimDesign, FetchesRangesAndSizes) {
    int msb = -1;
    int lsb = -1;
    EXPECT_EQ(g_sim.acc_fetch_range(data, &msb, &lsb), 1);
    EXPECT_EQ(msb, 7);
    EXPECT_EQ(lsb, 0);
    EXPECT_EQ(g_sim.acc_fetch_range(bus, &msb, &lsb), 1);
    EXPECT_EQ(msb, 0);
    EXPECT_EQ(lsb, 3);
    EXPECT_EQ(g_sim.acc_fetch_range(clk, &msb, &lsb), 1);
    EXPECT_EQ(msb, 0);
    EXPECT_EQ(lsb, 0);
    EXPECT_EQ(g_sim.acc_fetch_size(data), 8);
    EXPECT_EQ(g_sim.acc_fetch_size(bus), 4);
    EXPECT_EQ(g_sim.acc_fetch_size(clk), 1);
    EXPECT_EQ(g_sim.acc_fetch_size(count), 32);
    EXPECT_EQ(g_sim.acc_fetch_size(model.AddTime(top, "t")), 64);
    EXPECT_EQ(g_sim.acc_fetch_size(model.BitOf(data, 1)), 1);
}

TEST_F(ModelSimDesign, ComparesHandles) {
    EXPECT_TRUE(g_sim.acc_compare_handles(clk, g_sim.acc_handle_by_name("top.clk", nullptr)));
    EXPECT_FALSE(g_sim.acc_compare_handles(clk, data));
    EXPECT_TRUE(g_sim.acc_compare_handles(g_sim.acc_next_bit(data, nullptr), model.BitOf(data, 7)));
    EXPECT_FALSE(g_sim.acc_compare_handles(nullptr, nullptr));
}

TEST_F(ModelSimDesign, ReturnsDeclaringScopesAsParentAndScope) {
    EXPECT_EQ(g_sim.acc_handle_parent(u1), top);
    EXPECT_EQ(g_sim.acc_handle_parent(top), nullptr);
    EXPECT_EQ(g_sim.acc_handle_parent(inner), block);
    EXPECT_EQ(g_sim.acc_handle_scope(inner), block);
    EXPECT_EQ(g_sim.acc_handle_scope(block), u1);
    EXPECT_EQ(g_sim.acc_handle_parent(model.BitOf(data, 0)), top);
}

TEST_F(ModelSimDesign, ResolvesSimulatedNets) {
    Signal *alias = model.AddNet(top, "alias", 3, 0);
    Signal *real_bus = model.AddNet(u1, "real_bus", 7, 4);
    Signal *scalar_alias = model.AddNet(u1, "clk_in");
    model.Collapse(alias, real_bus);
    model.Collapse(scalar_alias, clk);

    EXPECT_EQ(g_sim.acc_handle_simulated_net(alias), real_bus);
    EXPECT_EQ(g_sim.acc_handle_simulated_net(scalar_alias), clk);
    EXPECT_EQ(g_sim.acc_handle_simulated_net(real_bus), real_bus);
    EXPECT_EQ(g_sim.acc_handle_simulated_net(clk), clk);
    EXPECT_TRUE(g_sim.acc_object_of_type(alias, accCollapsedNet));
    EXPECT_FALSE(g_sim.acc_object_of_type(real_bus, accCollapsedNet));
    // Bits map by position: alias[0] is the least significant bit of real_bus[7:4].
    EXPECT_EQ(g_sim.acc_handle_simulated_net(model.BitOf(alias, 0)), model.BitOf(real_bus, 4));
    EXPECT_EQ(g_sim.acc_handle_simulated_net(model.BitOf(alias, 3)), model.BitOf(real_bus, 7));
    EXPECT_TRUE(g_sim.acc_object_of_type(model.BitOf(alias, 3), accCollapsedNet));

    // Chains resolve to the end.
    Signal *alias2 = model.AddNet(u1, "alias2", 3, 0);
    model.Collapse(alias2, alias);
    EXPECT_EQ(g_sim.acc_handle_simulated_net(alias2), real_bus);

    // The collapsed net reads the simulated net's value.
    model.SetValue(real_bus, "10x1");
    EXPECT_STREQ(g_sim.acc_fetch_value(alias2, "%b", nullptr), "10x1");
    model.SetValue(alias, "0011");  // writing a collapsed net writes the simulated one
    EXPECT_STREQ(g_sim.acc_fetch_value(real_bus, "%b", nullptr), "0011");
}

TEST_F(ModelSimDesign, LooksNamesUpFromTheGivenScopeUpwardThenAmongTopModules) {
    Signal *top_level = model.AddNet(second_top, "g");
    Signal *shadow = model.AddNet(block, "clk");  // hides top.clk inside the block

    EXPECT_EQ(g_sim.acc_handle_by_name("top.u1.loop.i", nullptr), inner);
    EXPECT_EQ(g_sim.acc_handle_by_name("glue.g", nullptr), top_level);
    EXPECT_EQ(g_sim.acc_handle_by_name("i", block), inner);
    EXPECT_EQ(g_sim.acc_handle_by_name("clk", block), shadow);
    EXPECT_EQ(g_sim.acc_handle_by_name("clk", u1), clk);      // upward
    EXPECT_EQ(g_sim.acc_handle_by_name("count", block), count);
    EXPECT_EQ(g_sim.acc_handle_by_name("u1.bus", block), bus);  // first component upward, then down
    EXPECT_EQ(g_sim.acc_handle_by_name("loop.i", u1), inner);
    EXPECT_EQ(g_sim.acc_handle_by_name("glue", block), second_top);
    EXPECT_EQ(g_sim.acc_handle_by_name("glue.g", u1), top_level);
    EXPECT_EQ(g_sim.acc_handle_by_name("data[3]", u1), model.BitOf(data, 3));
    EXPECT_EQ(g_sim.acc_handle_by_name("i", top), nullptr);  // no downward search
    EXPECT_EQ(g_sim.acc_handle_by_name("top.nothing", nullptr), nullptr);
    EXPECT_EQ(g_sim.acc_handle_by_name("clk.x", nullptr), nullptr);
    EXPECT_EQ(g_sim.acc_handle_by_name("clk", nullptr), nullptr);  // outside a task: the top level
}

TEST_F(ModelSimDesign, LooksScopesNamedWithAnIndexUp) {
    Scope *looped = model.AddModule(model.AddBlock(top, "g[1]"), "m");  // a generate loop's block
    EXPECT_EQ(g_sim.acc_handle_by_name("top.g[1].m", nullptr), looped);
    EXPECT_EQ(g_sim.acc_handle_by_name("g[1].m", u1), looped);
    EXPECT_EQ(g_sim.acc_handle_by_name("data[3]", top), model.BitOf(data, 3));  // a bit still
    EXPECT_EQ(g_sim.acc_handle_by_name("top.g[2].m", nullptr), nullptr);
}

TEST_F(ModelSimDesign, LooksEscapedIdentifiersUpWithTheirDotsAndBrackets) {
    Scope *odd = model.AddModule(top, "odd.name");
    Signal *r = model.AddReg(odd, "r");
    Scope *bracketed = model.AddModule(odd, "a[3]");
    Scope *escaped_top = model.AddTopModule("x.y");

    EXPECT_EQ(g_sim.acc_handle_by_name("top.\\odd.name .r", nullptr), r);
    EXPECT_EQ(g_sim.acc_handle_by_name("top.\\odd.name ", nullptr), odd);
    EXPECT_EQ(g_sim.acc_handle_by_name("top.\\odd.name .\\a[3] ", nullptr), bracketed);
    EXPECT_EQ(g_sim.acc_handle_by_name("\\x.y ", nullptr), escaped_top);
    EXPECT_EQ(g_sim.acc_handle_by_name("top.\\odd.name", nullptr), odd);  // the end of the name ends it too
    EXPECT_EQ(g_sim.acc_handle_by_name("top.odd.name", nullptr), nullptr);  // unescaped, the dot splits
    EXPECT_EQ(g_sim.acc_handle_by_name("top.odd", nullptr), nullptr);
    EXPECT_EQ(Full(r), "top.odd.name.r");
}

TEST_F(ModelSimDesign, ResolvesNullScopeNamesFromTheCallingTask) {
    TestTasks tasks;
    handle by_name = nullptr;
    handle by_object = nullptr;
    handle full = nullptr;
    tasks.Add("$look", {.call = [&] {
                            by_name = g_sim.acc_handle_by_name("i", nullptr);
                            by_object = g_sim.acc_handle_object("clk");
                            full = g_sim.acc_handle_object("glue");
                            return 0;
                        }});
    model.RunTask(block, "$look");
    EXPECT_EQ(by_name, inner);
    EXPECT_EQ(by_object, clk);
    EXPECT_EQ(full, second_top);
}

TEST_F(ModelSimDesign, RecordsMisuseAsDiagnostics) {
    EXPECT_TRUE(model.Diagnostics().empty());
    int unrelated = 0;
    EXPECT_EQ(g_sim.acc_fetch_name(&unrelated), nullptr);
    EXPECT_EQ(g_sim.acc_fetch_type(nullptr), 0);
    EXPECT_EQ(model.Diagnostics().size(), 2U);
}

TEST_F(ModelSimDesign, RefusesInconsistentDesigns) {
    EXPECT_THROW(model.AddNet(top, "clk"), std::invalid_argument);          // duplicate name
    EXPECT_THROW(model.AddModule(task, "m"), std::invalid_argument);        // instance outside a module
    EXPECT_THROW(model.AddModule(block, "m"), std::invalid_argument);       // a fork block holds none
    Scope *generated = model.AddModule(model.AddBlock(top, "gen"), "m");    // a generate block does
    EXPECT_EQ(g_sim.acc_handle_scope(generated), generated->scope);
    EXPECT_EQ(Full(generated), "top.gen.m");
    EXPECT_THROW(model.AddBlock(top, "b", accNet), std::invalid_argument);  // not a block kind
    EXPECT_THROW(model.Collapse(clk, bus), std::invalid_argument);          // sizes differ
    EXPECT_THROW(model.AddPort(u1, "p", accInput, clk), std::invalid_argument);  // loconn outside the module
}

}  // namespace
}  // namespace tavri::test
