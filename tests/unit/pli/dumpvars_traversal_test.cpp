// $traxDumpvars over a design of a few modules: which scopes and variables
// reach the file for each kind of argument, their types, ranges and port
// directions, and the initial values written after the tree.
#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

// Writer variable types of the file (the VCD keyword order without realtime).
constexpr uint8_t kEventType = 0;
constexpr uint8_t kIntegerType = 1;
constexpr uint8_t kRealType = 3;
constexpr uint8_t kRegType = 4;
constexpr uint8_t kSupply0Type = 5;
constexpr uint8_t kTimeType = 7;
constexpr uint8_t kTriType = 8;
constexpr uint8_t kWandType = 14;
constexpr uint8_t kWireType = 15;

// Port directions of the variable records.
constexpr uint8_t kNoDirection = 0;
constexpr uint8_t kInput = 1;
constexpr uint8_t kOutput = 2;
constexpr uint8_t kInout = 3;

class DumpvarsTraversal : public FrontEndTest {
  protected:
    // top (tb): clk, n, data[7:0], count
    //   u1, u2 (sub): ports a (in), q (out), io[3:0] (inout); w, state[1:0]
    //     b (leaf): x, y
    void BuildDesign() {
        top_ = sim_.AddTopModule("top", "tb");
        clk_ = sim_.AddReg(top_, "clk");
        n_ = sim_.AddNet(top_, "n");
        data_ = sim_.AddReg(top_, "data", 7, 0);
        count_ = sim_.AddInteger(top_, "count");
        for (const char *name : {"u1", "u2"}) {
            Scope *sub = sim_.AddModule(top_, name, "sub");
            Signal *a = sim_.AddNet(sub, "a");
            Signal *q = sim_.AddReg(sub, "q");
            Signal *io = sim_.AddNet(sub, "io", 3, 0);
            sim_.AddNet(sub, "w");
            sim_.AddReg(sub, "state", 1, 0);
            Scope *leaf = sim_.AddModule(sub, "b", "leaf");
            sim_.AddNet(leaf, "x");
            sim_.AddReg(leaf, "y");
            sim_.AddPort(sub, "a", accInput, a);
            sim_.AddPort(sub, "q", accOutput, q);
            sim_.AddPort(sub, "io", accInout, io);
            subs_.push_back(sub);
        }
    }

    static std::vector<std::string> Sub(const std::string &sub) {
        return {sub + ".a", sub + ".q", sub + ".io[3:0]", sub + ".w", sub + ".state[1:0]"};
    }
    static std::vector<std::string> Leaf(const std::string &sub) { return {sub + ".b.x", sub + ".b.y"}; }
    static std::vector<std::string> Top() { return {"top.clk", "top.n", "top.data[7:0]", "top.count"}; }

    Scope *top_ = nullptr;
    Signal *clk_ = nullptr;
    Signal *n_ = nullptr;
    Signal *data_ = nullptr;
    Signal *count_ = nullptr;
    std::vector<Scope *> subs_;
};

TEST_F(DumpvarsTraversal, NoArgumentDumpsEveryTopModuleToAllLevels) {
    BuildDesign();
    Scope *other = sim_.AddTopModule("other");
    sim_.AddReg(other, "r");
    DumpTo(top_, "all.trax");
    Run(top_, "$traxDumpvars");
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_EQ(pli::g_dumper.files.front().all_scopes_dumped, 1) << "the whole design went into the file";
    EXPECT_TRUE(Printed("*Tavri* Start dumping the top scope(top), layer(0).\n")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Start dumping the top scope(other), layer(0).\n"));

    Reading &file = *FinishAndRead("all.trax");
    EXPECT_EQ(Sorted(AllNames(file)),
              Sorted(Join({Top(), Sub("top.u1"), Leaf("top.u1"), Sub("top.u2"), Leaf("top.u2"), {"other.r"}})));
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u1", "top.u1.b", "top.u2", "top.u2.b", "other"}));
    // Every variable got its initial value at time 0.
    for (const std::string &name : AllNames(file)) {
        const std::vector<Seen> changes = ChangesOf(file, name);
        ASSERT_EQ(changes.size(), 1u) << name;
        EXPECT_EQ(changes[0].time, 0u) << name;
    }
}

TEST_F(DumpvarsTraversal, LevelLimitsTheDepthBelowTheScope) {
    BuildDesign();
    DumpTo(top_, "level2.trax");
    Run(top_, "$traxDumpvars(2, top)");
    Reading &file = *FinishAndRead("level2.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Join({Top(), Sub("top.u1"), Sub("top.u2")})))
        << "level 2: top and its direct sub-scopes, not top.u1.b";
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u1", "top.u2"}));
}

TEST_F(DumpvarsTraversal, LevelGivenWithTheLevelOption) {
    BuildDesign();
    DumpTo(top_, "levelopt.trax");
    Run(top_, "$traxDumpvars(\"level=\", 1, top.u1)");
    Reading &file = *FinishAndRead("levelopt.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Sub("top.u1")));
}

TEST_F(DumpvarsTraversal, NestedScopeArgumentsShareOneTree) {
    BuildDesign();
    DumpTo(top_, "nested.trax");
    Run(top_, "$traxDumpvars(0, top.u1, top.u1.b)");
    Reading &file = *FinishAndRead("nested.trax");
    const std::vector<std::string> names = AllNames(file);
    EXPECT_EQ(Sorted(names), Sorted(Join({Sub("top.u1"), Leaf("top.u1")})));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "no variable twice";
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u1", "top.u1.b"})) << "each scope once";
}

TEST_F(DumpvarsTraversal, InnerScopeFirstThenItsParent) {
    BuildDesign();
    DumpTo(top_, "inner.trax");
    Run(top_, "$traxDumpvars(0, top.u1.b, top.u1)");
    Reading &file = *FinishAndRead("inner.trax");
    const std::vector<std::string> names = AllNames(file);
    EXPECT_EQ(Sorted(names), Sorted(Join({Sub("top.u1"), Leaf("top.u1")})));
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u1", "top.u1.b"}));
}

TEST_F(DumpvarsTraversal, ScopesNamedByStringsAreFound) {
    BuildDesign();
    DumpTo(top_, "strings.trax");
    Run(top_, "$traxDumpvars(1, \"top.u2\", \"top.nothing\")");
    EXPECT_TRUE(Printed("*Tavri* Warning: Cannot find the instance(top.nothing).\n")) << sim_.TranscriptText();
    Reading &file = *FinishAndRead("strings.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Sub("top.u2")));
}

TEST_F(DumpvarsTraversal, SignalArgumentCreatesItsScopesWithoutTheirOtherVariables) {
    BuildDesign();
    DumpTo(top_, "signal.trax");
    Run(top_, "$traxDumpvars(0, top.u1.q, top.u2.b.x)");
    Reading &file = *FinishAndRead("signal.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted({"top.u1.q", "top.u2.b.x"}));
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u1", "top.u2", "top.u2.b"}));
    const std::optional<traxrVar> q = VarOf(file, "top.u1.q");
    ASSERT_TRUE(q.has_value());
    EXPECT_EQ(q->direction, kOutput) << "a signal keeps the direction of its port";
    EXPECT_EQ(q->type_code, kRegType);
}

TEST_F(DumpvarsTraversal, SignalBesideASubScopeStaysInItsScope) {
    BuildDesign();
    DumpTo(top_, "beside.trax");
    Run(top_, "$traxDumpvars(1, top.clk, top.u1)");
    Reading &file = *FinishAndRead("beside.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Join({{"top.clk"}, Sub("top.u1")})));
}

TEST_F(DumpvarsTraversal, SignalInsideADumpedScopeIsNotAddedAgain) {
    BuildDesign();
    DumpTo(top_, "covered.trax");
    Run(top_, "$traxDumpvars(1, top.u1, top.u1.w)");
    Reading &file = *FinishAndRead("covered.trax");
    const std::vector<std::string> names = AllNames(file);
    EXPECT_EQ(Sorted(names), Sorted(Sub("top.u1")));
    EXPECT_EQ(std::count(names.begin(), names.end(), "top.u1.w"), 1);
}

TEST_F(DumpvarsTraversal, IoOnlyKeepsPortsAndLeavesTheScopesOpenForALaterDump) {
    BuildDesign();
    DumpTo(top_, "io.trax");
    Run(top_, "$traxDumpvars(0, \"+IO_Only\", top)");
    EXPECT_TRUE(Printed("*Tavri* Start dumping the scope(top), IO_Only, layer(0).\n")) << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.direction_filter, 0xFFFF) << "the filter lasts one call";
    // The same scopes again without the filter: the variables left out come now.
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpvars(0, top)");
    Reading &file = *FinishAndRead("io.trax");

    const std::vector<std::string> ports = {"top.u1.a", "top.u1.q", "top.u1.io[3:0]", "top.u2.a",
                                            "top.u2.q", "top.u2.io[3:0]", "top.count"};
    // The second call names the ports again (same idcode, its own tree);
    // everything else is new then.
    std::set<std::string> first;
    std::set<std::string> second;
    for (const std::string &name : AllNames(file)) {
        const std::vector<Seen> changes = ChangesOf(file, name);
        ASSERT_FALSE(changes.empty()) << name;
        (changes.front().time == 0 ? first : second).insert(name);
        EXPECT_EQ(changes.size(), 1u) << name << ": values are not repeated";
    }
    EXPECT_EQ(first, std::set<std::string>(ports.begin(), ports.end()))
        << "ports and variables of other kinds at the first call";
    const std::vector<std::string> all = Join({Top(), Sub("top.u1"), Leaf("top.u1"), Sub("top.u2"), Leaf("top.u2")});
    std::set<std::string> rest(all.begin(), all.end());
    for (const std::string &port : ports) rest.erase(port);
    EXPECT_EQ(second, rest) << "the rest at the second call";
    const std::optional<traxrVar> io = VarOf(file, "top.u1.io[3:0]");
    ASSERT_TRUE(io.has_value());
    EXPECT_EQ(io->direction, kInout);
}

TEST_F(DumpvarsTraversal, RegOnlyKeepsEveryRegAndNoNet) {
    BuildDesign();
    DumpTo(top_, "regs.trax");
    Run(top_, "$traxDumpvars(2, \"+Reg_Only\", top)");
    Reading &file = *FinishAndRead("regs.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted({"top.clk", "top.data[7:0]", "top.count", "top.u1.q",
                                              "top.u1.state[1:0]", "top.u2.q", "top.u2.state[1:0]"}));
}

TEST_F(DumpvarsTraversal, DumpingTheSameScopeTwiceDumpsNoValueAgain) {
    BuildDesign();
    RealVar *ratio = sim_.AddReal(subs_[0], "ratio");
    sim_.AddEvent(subs_[0], "go");
    DumpTo(top_, "twice.trax");
    Run(top_, "$traxDumpvars(0, top.u1)");
    Run(top_, "$traxDumpvars(0, top.u1)");  // in the same step
    sim_.SetValue(sim_.Lookup("top.u1.w"), "1");
    sim_.EndStep();
    sim_.AdvanceTo(5);
    sim_.SetReal(ratio, 1.5);
    sim_.EndStep();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpvars(0, top.u1)");
    EXPECT_EQ(CountPrinted("*Tavri* End of dumping.\n"), 3);
    Reading &file = *FinishAndRead("twice.trax");
    const std::vector<std::string> names = AllNames(file);
    EXPECT_EQ(Sorted(names), Sorted(Join({Sub("top.u1"), {"top.u1.go", "top.u1.ratio"}, Leaf("top.u1")})))
        << "the variables once";
    // The variables hooked by the first call are not dumped again: their
    // values are in the file already. (Reals and events have no repeat
    // filter: a second dump would stay as a change that did not happen.)
    // (The end of the second tree leaves the writer's memory as it was, so
    // w's x of the first dump and its 1 later in step 0 meet in one session,
    // where the glitch rule keeps the step's last value.)
    EXPECT_EQ(ChangesOf(file, "top.u1.w"), (std::vector<Seen>{At(0, "1")}));
    EXPECT_EQ(ChangesOf(file, "top.u1.ratio"), (std::vector<Seen>{RealAt(0, 0.0), RealAt(5, 1.5)}));
    EXPECT_EQ(ChangesOf(file, "top.u1.go"), (std::vector<Seen>{At(0, "x")}));
}

TEST_F(DumpvarsTraversal, VariableKindsTypesAndRanges) {
    top_ = sim_.AddTopModule("top");
    Signal *clk = sim_.AddReg(top_, "clk");
    sim_.AddNet(top_, "bus", 3, 6);  // an ascending range keeps its order
    sim_.AddNet(top_, "wa", accWand);
    sim_.AddNet(top_, "tr", 1, 0, accTri);
    sim_.AddNet(top_, "gnd", accSupply0);
    Signal *count = sim_.AddInteger(top_, "count");
    Signal *stamp = sim_.AddTime(top_, "stamp");
    RealVar *ratio = sim_.AddReal(top_, "ratio");
    NamedEvent *go = sim_.AddEvent(top_, "go");
    sim_.AddIntParam(top_, "WIDTH", 8);
    DumpTo(top_, "kinds.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.EndStep();
    sim_.AdvanceTo(5);
    sim_.SetValue(clk, "1");
    sim_.SetInteger(count, -2);
    sim_.SetInteger(stamp, 0x123456789LL);
    sim_.SetReal(ratio, 2.5);
    sim_.Trigger(go);
    sim_.EndStep();
    sim_.AdvanceTo(7);
    sim_.Trigger(go);
    sim_.SetReal(ratio, -0.125);
    sim_.EndStep();
    sim_.Finish();

    Reading file(Path("kinds.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.bus[3:6]", "top.wa", "top.tr[1:0]", "top.gnd", "top.clk",
                                                        "top.count", "top.stamp", "top.go", "top.ratio"}))
        << "by kind: nets, regs, integers, times, events, reals; parameters stay out";
    struct Expect {
        const char *name;
        uint8_t type;
        int32_t left;
        int32_t right;
        uint8_t bytes_per_bit_code;
    };
    for (const Expect &e : {Expect{"top.clk", kRegType, 0, 0, 0}, Expect{"top.bus[3:6]", kWireType, 3, 6, 0},
                            Expect{"top.wa", kWandType, 0, 0, 0}, Expect{"top.tr[1:0]", kTriType, 1, 0, 0},
                            Expect{"top.gnd", kSupply0Type, 0, 0, 0}, Expect{"top.count", kIntegerType, 31, 0, 0},
                            Expect{"top.stamp", kTimeType, 63, 0, 0}, Expect{"top.go", kEventType, 0, 0, 0},
                            Expect{"top.ratio", kRealType, 0, 0, 3}}) {
        const std::optional<traxrVar> var = VarOf(file, e.name);
        ASSERT_TRUE(var.has_value()) << e.name;
        EXPECT_EQ(var->type_code, e.type) << e.name;
        EXPECT_EQ(var->left, e.left) << e.name;
        EXPECT_EQ(var->right, e.right) << e.name;
        EXPECT_EQ(var->bytes_per_bit_code, e.bytes_per_bit_code) << e.name;
        EXPECT_EQ(var->direction, kNoDirection) << e.name;
    }
    EXPECT_EQ(ChangesOf(file, "top.gnd"), (std::vector<Seen>{At(0, "0")}));
    EXPECT_EQ(ChangesOf(file, "top.count"),
              (std::vector<Seen>{At(0, std::string(32, 'x')), At(5, std::string(31, '1') + "0")}));
    std::string stamp_bits;
    for (int bit = 63; bit >= 0; --bit) stamp_bits += ((0x123456789ULL >> bit) & 1) != 0 ? '1' : '0';
    EXPECT_EQ(ChangesOf(file, "top.stamp"), (std::vector<Seen>{At(0, std::string(64, 'x')), At(5, stamp_bits)}));
    EXPECT_EQ(ChangesOf(file, "top.ratio"), (std::vector<Seen>{RealAt(0, 0.0), RealAt(5, 2.5), RealAt(7, -0.125)}));
    EXPECT_EQ(ChangesOf(file, "top.go"), (std::vector<Seen>{At(0, "x"), At(5, "1"), At(7, "1")}))
        << "an occurrence is 1; the initial value of an event is the no-occurrence code";
}

TEST_F(DumpvarsTraversal, ParametersStayOutByDefault) {
    top_ = sim_.AddTopModule("top");
    sim_.AddReg(top_, "r");
    sim_.AddIntParam(top_, "WIDTH", 5);
    sim_.AddRealParam(top_, "RATIO", 0.75);
    DumpTo(top_, "p.trax");
    Run(top_, "$traxDumpvars(1, top)");
    Reading &file = *FinishAndRead("p.trax");
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.r"}));
}

TEST_F(DumpvarsTraversal, ParametersWithTheParameterPlusArgument) {
    sim_.AddPlusArg("+dump+parameter");
    top_ = sim_.AddTopModule("top");
    sim_.AddReg(top_, "r");
    sim_.AddIntParam(top_, "WIDTH", 5);
    sim_.AddRealParam(top_, "RATIO", 0.75);
    DumpTo(top_, "p.trax");
    Run(top_, "$traxDumpvars(1, top)");
    Reading &file = *FinishAndRead("p.trax");
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.r", "top.WIDTH", "top.RATIO"}));
    EXPECT_EQ(ChangesOf(file, "top.WIDTH"), (std::vector<Seen>{At(0, std::string(29, '0') + "101")}));
    EXPECT_EQ(ChangesOf(file, "top.RATIO"), (std::vector<Seen>{RealAt(0, 0.75)}))
        << "a real parameter is dumped as a real";
    const std::optional<traxrVar> width = VarOf(file, "top.WIDTH");
    ASSERT_TRUE(width.has_value());
    EXPECT_EQ(width->type_code, kIntegerType);
    EXPECT_EQ(width->left, 31);
    EXPECT_EQ(width->right, 0);
    const std::optional<traxrVar> ratio = VarOf(file, "top.RATIO");
    ASSERT_TRUE(ratio.has_value());
    EXPECT_EQ(ratio->type_code, kRealType);
    EXPECT_EQ(ratio->bytes_per_bit_code, 3);
}

TEST_F(DumpvarsTraversal, PortDirectionsReachTheFile) {
    BuildDesign();
    DumpTo(top_, "dirs.trax");
    Run(top_, "$traxDumpvars(1, top.u2)");
    Reading &file = *FinishAndRead("dirs.trax");
    const std::vector<std::pair<std::string, uint8_t>> expected = {{"top.u2.a", kInput},
                                                                   {"top.u2.q", kOutput},
                                                                   {"top.u2.io[3:0]", kInout},
                                                                   {"top.u2.w", kNoDirection},
                                                                   {"top.u2.state[1:0]", kNoDirection}};
    for (const auto &[name, direction] : expected) {
        const std::optional<traxrVar> var = VarOf(file, name);
        ASSERT_TRUE(var.has_value()) << name;
        EXPECT_EQ(var->direction, direction) << name;
    }
}

TEST_F(DumpvarsTraversal, ExpandedVectorBecomesOneVariablePerBit) {
    top_ = sim_.AddTopModule("top");
    Signal *v = sim_.AddNet(top_, "v", 15, 0);
    v->expanded = true;
    DumpTo(top_, "expanded.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(v, "1010000000000001");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetBit(v, 14, Logic::k1);
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("expanded.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    std::vector<std::string> bits;
    for (int index = 15; index >= 0; --index) bits.push_back("top.v[" + std::to_string(index) + "]");
    EXPECT_EQ(AllNames(file), bits);
    const std::optional<traxrVar> bit7 = VarOf(file, "top.v[7]");
    ASSERT_TRUE(bit7.has_value());
    EXPECT_EQ(bit7->left, 7);
    EXPECT_EQ(bit7->right, 7);
    EXPECT_EQ(ChangesOf(file, "top.v[15]"), (std::vector<Seen>{At(0, "1")}));
    EXPECT_EQ(ChangesOf(file, "top.v[14]"), (std::vector<Seen>{At(0, "0"), At(10, "1")}));
    EXPECT_EQ(ChangesOf(file, "top.v[0]"), (std::vector<Seen>{At(0, "1")}));
}

class UnexpandedVectors : public DumpvarsTraversal {
  protected:
    // Dumps a 4-bit expanded vector under TRAX_UNEXPEND_VECTOR with the given
    // product text; the variable names of the file.
    std::vector<std::string> DumpWith(const char *product) {
        ScopedEnv unexpand("TRAX_UNEXPEND_VECTOR", "");
        sim_.SetProductVersion(product);
        top_ = sim_.AddTopModule("top");
        Signal *v = sim_.AddNet(top_, "v", 3, 0);
        v->expanded = true;
        DumpTo(top_, "u.trax");
        Run(top_, "$traxDumpvars(1, top)");
        sim_.SetValue(v, "10z1");
        Reading &file = *FinishAndRead("u.trax");
        return AllNames(file);
    }
};

TEST_F(UnexpandedVectors, FromVersion57dOneVariableForTheVector) {
    EXPECT_EQ(DumpWith("Model Simulator Version 5.7d"), (std::vector<std::string>{"top.v[3:0]"}));
    EXPECT_FALSE(Printed("Do not support unexpend vector."));
    EXPECT_EQ(ChangesOf(*reading_, "top.v[3:0]"), (std::vector<Seen>{At(0, "10z1")}));
}

TEST_F(UnexpandedVectors, LaterVersionsToo) {
    EXPECT_EQ(DumpWith("Model Simulator Version 6.0"), (std::vector<std::string>{"top.v[3:0]"}));
}

TEST_F(UnexpandedVectors, BeforeVersion57dTheBitsWithAWarning) {
    EXPECT_EQ(DumpWith("Model Simulator Version 5.7c"),
              (std::vector<std::string>{"top.v[3]", "top.v[2]", "top.v[1]", "top.v[0]"}));
    EXPECT_TRUE(Printed("*Tavri* Warning: Do not support unexpend vector.\n")) << sim_.TranscriptText();
    EXPECT_EQ(ChangesOf(*reading_, "top.v[1]"), (std::vector<Seen>{At(0, "z")}));
}

TEST_F(UnexpandedVectors, PlusArgumentAsWell) {
    sim_.AddPlusArg("+trax_unexpend_vector");
    top_ = sim_.AddTopModule("top");
    Signal *v = sim_.AddReg(top_, "v", 0, 2);
    v->expanded = true;
    DumpTo(top_, "plus.trax");
    Run(top_, "$traxDumpvars(1, top)");
    Reading &file = *FinishAndRead("plus.trax");
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.v[0:2]"}));
}

TEST_F(DumpvarsTraversal, CollapsedNetIsRecordedThroughItsSimulatedNet) {
    BuildDesign();
    sim_.Collapse(static_cast<Signal *>(sim_.Lookup("top.u1.a")), n_);
    DumpTo(top_, "collapsed.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.SetValue(n_, "0");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(n_, "1");
    sim_.EndStep();
    Reading &file = *FinishAndRead("collapsed.trax");
    const uint32_t id = IdcodeOf(file, "top.n");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(IdcodeOf(file, "top.u1.a"), id) << "one variable under both names";
    EXPECT_EQ(ChangesOf(file, "top.u1.a"), (std::vector<Seen>{At(0, "0"), At(10, "1")}))
        << "each change once, not once per name";
    const std::optional<traxrVar> a = VarOf(file, "top.u1.a");
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->direction, kInput);
}

TEST_F(DumpvarsTraversal, CollapsedNetKeepsItsOwnTypeAndDirection) {
    BuildDesign();
    Signal *bus = sim_.AddNet(top_, "bus", accTri);
    sim_.Collapse(static_cast<Signal *>(sim_.Lookup("top.u1.a")), bus);
    DumpTo(top_, "collapsed_tri.trax");
    Run(top_, "$traxDumpvars(0, top)");
    Reading &file = *FinishAndRead("collapsed_tri.trax");
    const std::optional<traxrVar> simulated = VarOf(file, "top.bus");
    const std::optional<traxrVar> a = VarOf(file, "top.u1.a");
    ASSERT_TRUE(simulated.has_value() && a.has_value());
    EXPECT_EQ(a->idcode, simulated->idcode) << "one variable under both names";
    EXPECT_EQ(simulated->type_code, kTriType);
    EXPECT_EQ(simulated->direction, kNoDirection);
    EXPECT_EQ(a->type_code, kWireType) << "the input wire is not recorded as the net it is simulated on";
    EXPECT_EQ(a->direction, kInput);
}

class SameNetPass : public DumpvarsTraversal {
  protected:
    // top.u1.a is collapsed into top.n; only top.u1 is dumped.
    Reading &DumpCollapsed() {
        top_ = sim_.AddTopModule("top");
        n_ = sim_.AddNet(top_, "n");
        sim_.AddReg(top_, "other");
        Scope *u1 = sim_.AddModule(top_, "u1");
        sim_.Collapse(sim_.AddNet(u1, "a"), n_);
        DumpTo(top_, "same.trax");
        Run(top_, "$traxDumpvars(1, top.u1)");
        sim_.SetValue(n_, "1");
        return *FinishAndRead("same.trax");
    }
};

TEST_F(SameNetPass, OffWithoutTheVariable) {
    ScopedEnv env("TRAX_SAME_NET", nullptr);
    Reading &file = DumpCollapsed();
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.u1.a"}));
}

TEST_F(SameNetPass, ListsADumpedNetWhereverItIsVisibleEvenWithTheValueZero) {
    ScopedEnv env("TRAX_SAME_NET", "0");
    Reading &file = DumpCollapsed();
    const uint32_t id = IdcodeOf(file, "top.u1.a");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Sorted(file.Names(id)), Sorted({"top.u1.a", "top.n"}));
    EXPECT_EQ(IdcodeOf(file, "top.other"), 0u) << "variables not dumped before get no name";
    EXPECT_EQ(ChangesOf(file, "top.n"), (std::vector<Seen>{At(0, "1")}));
}

TEST_F(DumpvarsTraversal, ScopeKindsAndFunctionsLeftOut) {
    top_ = sim_.AddTopModule("top");
    sim_.AddReg(top_, "r");
    sim_.AddReg(sim_.AddTask(top_, "t"), "tv");
    sim_.AddReg(sim_.AddFunction(top_, "f"), "fv");
    sim_.AddReg(sim_.AddBlock(top_, "blk", accNamedBeginStat), "bv");
    sim_.AddReg(sim_.AddBlock(top_, "frk", accNamedForkStat), "kv");
    sim_.AddReg(sim_.AddBlock(top_, "hidden", accBeginKind717), "hv");
    DumpTo(top_, "kinds.trax");
    Run(top_, "$traxDumpvars(0, top)");
    Run(top_, "$traxDumpvars(0, \"+no_functions\", top)");  // no effect on what is in the file already
    sim_.Finish();
    Reading file(Path("kinds.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    std::map<std::string, uint8_t> types;
    for (uint32_t index = 0; index < traxr_ScopeCount(file.reader); ++index) {
        traxrScope scope{};
        ASSERT_EQ(traxr_GetScope(file.reader, index, &scope), TRAXR_OK);
        types[scope.name] = scope.type;
    }
    EXPECT_EQ(types, (std::map<std::string, uint8_t>{{"top", 0}, {"t", 1}, {"f", 2}, {"blk", 3}, {"frk", 4}}));
    EXPECT_EQ(Sorted(AllNames(file)), Sorted({"top.r", "top.t.tv", "top.f.fv", "top.blk.bv", "top.frk.kv"}));
}

TEST_F(DumpvarsTraversal, NoFunctionsForOneCall) {
    top_ = sim_.AddTopModule("top");
    sim_.AddReg(top_, "r");
    sim_.AddReg(sim_.AddFunction(top_, "f"), "fv");
    Scope *u = sim_.AddModule(top_, "u");
    sim_.AddReg(sim_.AddFunction(u, "g"), "gv");
    DumpTo(top_, "nofn.trax");
    Run(top_, "$traxDumpvars(0, \"+no_functions\", top)");
    EXPECT_FALSE(pli::g_dumper.call_no_functions) << "the option lasts one call";
    sim_.Finish();
    Reading file(Path("nofn.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.r"}));
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u"}));
}

TEST_F(DumpvarsTraversal, ModuleScopesKeepTheirDefinitionName) {
    BuildDesign();
    DumpTo(top_, "defs.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.Finish();
    Reading file(Path("defs.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    std::map<std::string, std::string> definitions;
    for (uint32_t index = 0; index < traxr_ScopeCount(file.reader); ++index) {
        traxrScope scope{};
        ASSERT_EQ(traxr_GetScope(file.reader, index, &scope), TRAXR_OK);
        definitions[scope.name] = scope.second_name;
    }
    EXPECT_EQ(definitions, (std::map<std::string, std::string>{{"top", "tb"}, {"u1", "sub"}, {"u2", "sub"}, {"b", "leaf"}}));
}

}  // namespace
}  // namespace tavri::test

namespace tavri::test {
namespace {

class DumpvarsArguments : public DumpvarsTraversal {};

TEST_F(DumpvarsArguments, LevelMayFollowTheScopes) {
    BuildDesign();
    DumpTo(top_, "after.trax");
    Run(top_, "$traxDumpvars(top.u1, 1)");
    Reading &file = *FinishAndRead("after.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Sub("top.u1")));
}

TEST_F(DumpvarsArguments, ArgumentWithoutAHandleDumpsNothingElse) {
    BuildDesign();
    DumpTo(top_, "nohandle.trax");
    Run(top_, "$traxDumpvars(1, data[3:0])");
    EXPECT_TRUE(Printed("*Tavri* Warning: Cannot get the handle of the #2 arg.\n")) << sim_.TranscriptText();
    Reading &file = *FinishAndRead("nohandle.trax");
    EXPECT_EQ(AllNames(file), std::vector<std::string>{}) << "not the whole design";
}

TEST_F(DumpvarsArguments, HandlesFoundBesideOneWithoutAreDumped) {
    BuildDesign();
    DumpTo(top_, "some.trax");
    Run(top_, "$traxDumpvars(1, data[3:0], top.u2)");
    Reading &file = *FinishAndRead("some.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Sub("top.u2")));
}

TEST_F(DumpvarsArguments, ProtectedCellAndUnnamedObjectsAreLeftOut) {
    sim_.AddPlusArg("+trax_warning");
    ScopedEnv skip_cells("SKIP_CELL_INSTANCE", "1");
    BuildDesign();
    Scope *cell = sim_.AddCell(top_, "c", "and2");
    sim_.AddNet(cell, "o");
    Scope *hidden = sim_.AddModule(top_, "p", "ip");
    sim_.AddNet(hidden, "secret");
    hidden->is_protected = true;
    sim_.AddReg(top_, "veiled")->is_protected = true;
    sim_.AddReg(top_, "nameless")->name_fetch_fails = true;
    DumpTo(top_, "left.trax");
    Run(top_, "$traxDumpvars(0, top)");
    EXPECT_TRUE(Printed("WARNING:   scope : top\n")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("WARNING:   full name not found\n"));
    Reading &file = *FinishAndRead("left.trax");
    EXPECT_EQ(Sorted(AllNames(file)),
              Sorted(Join({Top(), Sub("top.u1"), Leaf("top.u1"), Sub("top.u2"), Leaf("top.u2")})));
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u1", "top.u1.b", "top.u2", "top.u2.b"}));
}

TEST_F(DumpvarsArguments, UnnamedScopeIsLeftOutWithWhatIsBelowIt) {
    sim_.AddPlusArg("+trax_warning");
    BuildDesign();
    subs_[1]->name_fetch_fails = true;
    DumpTo(top_, "unnamed.trax");
    Run(top_, "$traxDumpvars(0, top)");
    EXPECT_TRUE(Printed("WARNING:   full scope name not found\n")) << sim_.TranscriptText();
    Reading &file = *FinishAndRead("unnamed.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Join({Top(), Sub("top.u1"), Leaf("top.u1")})));
    EXPECT_EQ(Sorted(AllScopes(file)), Sorted({"top", "top.u1", "top.u1.b"}));
}

}  // namespace
}  // namespace tavri::test

namespace tavri::test {
namespace {

TEST_F(DumpvarsArguments, NamesAreLookedUpFromTheCallingScope) {
    BuildDesign();
    DumpTo(top_, "relative.trax");
    Run(subs_[1], "$traxDumpvars(1, \"b\")");
    Reading &file = *FinishAndRead("relative.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Leaf("top.u2")));
}

}  // namespace
}  // namespace tavri::test
