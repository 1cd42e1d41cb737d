// $traxDumpPattern in the model simulator: its argument checks, which scopes
// and signals a pattern dump records and in which order, levels, the
// message when nothing matches, its dealings with $traxDumpvars, and
// requests made before the +trax+dumpon+ time.
#include <algorithm>
#include <memory>
#include <set>

#include "frontend_fixture.h"
#include "pli/dumper_state.h"

namespace tavri::test {
namespace {

class DumpPattern : public FrontEndTest {
  protected:
    // tb: clk (reg), n (wire)
    //   u0, u1, u4 (sub): a (input), q (output reg), w, data[3:0]
    //     core (leaf): x, y
    //   blk (named block): t
    void SetUp() override {
        FrontEndTest::SetUp();
        tb_ = sim_.AddTopModule("tb");
        sim_.AddReg(tb_, "clk");
        sim_.AddNet(tb_, "n");
        for (const char *name : {"u0", "u1", "u4"}) {
            Scope *sub = sim_.AddModule(tb_, name, "sub");
            Signal *a = sim_.AddNet(sub, "a");
            Signal *q = sim_.AddReg(sub, "q");
            sim_.AddNet(sub, "w");
            sim_.AddReg(sub, "data", 3, 0);
            sim_.AddPort(sub, "a", accInput, a);
            sim_.AddPort(sub, "q", accOutput, q);
            Scope *core = sim_.AddModule(sub, "core", "leaf");
            sim_.AddNet(core, "x");
            sim_.AddReg(core, "y");
        }
        Scope *blk = sim_.AddBlock(tb_, "blk");
        sim_.AddReg(blk, "t");
    }

  public:
    static std::vector<std::string> Sub(const std::string &path) {
        return {path + ".a", path + ".q", path + ".w", path + ".data[3:0]"};
    }
    static std::vector<std::string> Core(const std::string &path) { return {path + ".core.x", path + ".core.y"}; }
    using FrontEndTest::Join;

  protected:
    Scope *tb_ = nullptr;
};

constexpr const char kSyntax[] =
    "Syntax error -$traxDumpPattern([scope],[<level>],[\"Match-Scope\"],[\"Match-Signal\"]);\n";

TEST_F(DumpPattern, ArgumentChecks) {
    struct Case {
        const char *call;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"$traxDumpPattern(tb, 0, \"u*\")", {kSyntax}},
        {"$traxDumpPattern", {kSyntax}},
        {"$traxDumpPattern(tb.clk, 0, , )", {"$traxDumpPattern - The type(accReg) of #1 arg is invalid.\n", kSyntax}},
        {"$traxDumpPattern(tb, \"1\", , )", {kSyntax}},
        {"$traxDumpPattern(tb, tb.n, , )", {"$traxDumpPattern - The type(accNet) of #2 arg is invalid.\n", kSyntax}},
        {"$traxDumpPattern(tb, 0, 3, tb.clk)",
         {"$traxDumpPattern - The type of #3 arg is invalid.\n", "$traxDumpPattern - The type of #4 arg is invalid.\n",
          kSyntax}},
        {"$traxDumpPattern(tb.n, tb.clk, , \"x\")",
         {"$traxDumpPattern - The type(accNet) of #1 arg is invalid.\n",
          "$traxDumpPattern - The type(accReg) of #2 arg is invalid.\n", kSyntax}},
    };
    for (const Case &c : cases) {
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(tb_, c.call);
        EXPECT_EQ(sim_.RunCheck(call), 0) << c.call;
        EXPECT_EQ(Errors(), c.errors) << c.call;
        // The call repeats the check and does nothing.
        sim_.ClearTranscript();
        EXPECT_EQ(sim_.RunCall(call), 0) << c.call;
        EXPECT_EQ(Errors(), c.errors) << c.call;
    }
    EXPECT_TRUE(pli::g_dumper.files.empty()) << "no refused call opened a file";
    for (const char *good : {"$traxDumpPattern(,,,)", "$traxDumpPattern(tb.u0, 2, \"c*\", \"x\")",
                             "$traxDumpPattern(tb.blk, -1, , )"}) {
        sim_.ClearTranscript();
        EXPECT_EQ(sim_.RunCheck(sim_.AddTaskCall(tb_, good)), 1) << good;
        EXPECT_TRUE(Errors().empty()) << good << sim_.TranscriptText();
    }
    EXPECT_TRUE(sim_.Diagnostics().empty()) << sim_.Diagnostics().front();
}

TEST_F(DumpPattern, RefusedOutsideTheSingleFileMode) {
    pli::g_dumper.mode = pli::DumpMode::kScopeFile;
    Run(tb_, "$traxDumpPattern(,,,)");
    EXPECT_TRUE(Printed("WARNING: $traxDumpvarsToFile has already invoked.\n")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("WARNING: $traxDumpPattern is already disabled.\n"));
    EXPECT_TRUE(pli::g_dumper.files.empty());
}

TEST_F(DumpPattern, EmptyArgumentsDumpTheWholeDesign) {
    DumpTo(tb_, "all.trax");
    Run(tb_, "$traxDumpPattern(,,,)");
    EXPECT_TRUE(Printed("*Tavri* Start dumping pattern:  root(tb), layer(0), Scope Pattern(\"*\"),Signal Pattern(\"*\").\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* End dumping scopes with pattern.\n"));
    EXPECT_TRUE(sim_.Diagnostics().empty()) << sim_.Diagnostics().front();
    Reading &file = *FinishAndRead("all.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(Join({{"tb.clk", "tb.n", "tb.blk.t"}, Sub("tb.u0"), Core("tb.u0"),
                                                   Sub("tb.u1"), Core("tb.u1"), Sub("tb.u4"), Core("tb.u4")})));
}

TEST_F(DumpPattern, MatchingScopesGoInReverseSiblingOrderWithTheirSignalsInKindOrder) {
    DumpTo(tb_, "order.trax");
    Run(tb_, "$traxDumpPattern(, 0, \"u[0-3]*\", )");
    Reading &file = *FinishAndRead("order.trax");
    // tb is on the path to the matches: created, without its signals. The
    // siblings come newest first, each scope's signals by kind (nets, then
    // regs), in declaration order within a kind.
    EXPECT_EQ(AllScopes(file), (std::vector<std::string>{"tb", "tb.u1", "tb.u1.core", "tb.u0", "tb.u0.core"}));
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"tb.u1.a", "tb.u1.w", "tb.u1.q", "tb.u1.data[3:0]",
                                                        "tb.u1.core.x", "tb.u1.core.y", "tb.u0.a", "tb.u0.w",
                                                        "tb.u0.q", "tb.u0.data[3:0]", "tb.u0.core.x",
                                                        "tb.u0.core.y"}));
    const std::optional<traxrVar> q = VarOf(file, "tb.u0.q");
    ASSERT_TRUE(q.has_value());
    EXPECT_EQ(q->direction, 2) << "a signal keeps its port direction";
}

struct LevelCase {
    const char *call;
    std::vector<std::string> names;
};

std::ostream &operator<<(std::ostream &out, const LevelCase &c) { return out << c.call; }

class DumpPatternLevels : public DumpPattern, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(DumpPatternLevels, CountFromEachMatchedScope) {
    DumpTo(tb_, "levels.trax");
    Run(tb_, GetParam().call);
    Reading &file = *FinishAndRead("levels.trax");
    EXPECT_EQ(Sorted(AllNames(file)), Sorted(GetParam().names));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DumpPatternLevels,
    ::testing::Values(
        LevelCase{"$traxDumpPattern(, 1, \"u0\", )", DumpPattern::Sub("tb.u0")},
        LevelCase{"$traxDumpPattern(, -1, \"u0\", )", DumpPattern::Sub("tb.u0")},
        LevelCase{"$traxDumpPattern(, 2, \"u0\", )", DumpPattern::Join({DumpPattern::Sub("tb.u0"), DumpPattern::Core("tb.u0")})},
        LevelCase{"$traxDumpPattern(, 2, \"tb\", )",
                  DumpPattern::Join({{"tb.clk", "tb.n", "tb.blk.t"}, DumpPattern::Sub("tb.u0"), DumpPattern::Sub("tb.u1"),
                                     DumpPattern::Sub("tb.u4")})},
        // A match below a matched scope starts the count again.
        LevelCase{"$traxDumpPattern(, 1, \"[tc]*\", )",
                  DumpPattern::Join({{"tb.clk", "tb.n"}, DumpPattern::Core("tb.u0"), DumpPattern::Core("tb.u1"),
                                     DumpPattern::Core("tb.u4")})},
        // Signal patterns pick leaf names.
        LevelCase{"$traxDumpPattern(, 0, \"u4\", \"[q-a]\")", {"tb.u4.a", "tb.u4.q"}},
        LevelCase{"$traxDumpPattern(tb.u1, 0, , \"?\")", {"tb.u1.a", "tb.u1.w", "tb.u1.q", "tb.u1.core.x", "tb.u1.core.y"}},
        LevelCase{"$traxDumpPattern(tb.u1, 0, \"core\", )", DumpPattern::Core("tb.u1")}));

TEST_F(DumpPattern, RootBelowTheTopCreatesItsAncestors) {
    DumpTo(tb_, "root.trax");
    Run(tb_, "$traxDumpPattern(tb.u1, 0, \"core\", \"y\")");
    EXPECT_TRUE(Printed("*Tavri* Start dumping pattern:  root(tb.u1), layer(0), Scope Pattern(\"core\"),Signal "
                        "Pattern(\"y\").\n"))
        << sim_.TranscriptText();
    Run(tb_, "$traxDumpPattern(tb.u0, 0, \"nothing\", )");
    Reading &file = *FinishAndRead("root.trax");
    EXPECT_EQ(AllScopes(file), (std::vector<std::string>{"tb", "tb.u1", "tb.u1.core"}));
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"tb.u1.core.y"}));
}

TEST_F(DumpPattern, NothingMatchedSaysSoWithTheArguments) {
    DumpTo(tb_, "none.trax");
    Run(tb_, "$traxDumpPattern(, 3, \"zz*\", )");
    Run(tb_, "$traxDumpPattern(tb.u4, 0, \"u0\", \"a\")");
    Run(tb_, "$traxDumpPattern(tb.u4, 0, , \"nosignal\")");
    EXPECT_TRUE(Printed("*Tavri* None instance match with traxDumpPattern(NULL,3,\"zz*\",\"*\");\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* None instance match with traxDumpPattern(tb.u4,0,\"u0\",\"a\");\n"));
    EXPECT_EQ(CountPrinted("None instance match"), 2) << "a matched scope without matching signals is a match";
    Reading &file = *FinishAndRead("none.trax");
    EXPECT_TRUE(AllNames(file).empty());
}

TEST_F(DumpPattern, ScopeDumpedByDumpvarsKeepsOneCopyOfItsSignals) {
    DumpTo(tb_, "twice.trax");
    Run(tb_, "$traxDumpvars(1, tb.u0)");
    const size_t hooks = pli::g_dumper.hooks.size();
    Run(tb_, "$traxDumpPattern(, 1, \"u0\", )");
    EXPECT_EQ(pli::g_dumper.hooks.size(), hooks) << "no signal was hooked twice";
    Reading &file = *FinishAndRead("twice.trax");
    const std::vector<std::string> names = AllNames(file);
    EXPECT_EQ(Sorted(names), Sorted(Sub("tb.u0")));
}

TEST_F(DumpPattern, SignalPatternLeavesTheScopeOpenForDumpvars) {
    DumpTo(tb_, "partial.trax");
    Run(tb_, "$traxDumpPattern(, 1, \"u0\", \"q\")");
    sim_.AdvanceTo(5);
    Run(tb_, "$traxDumpvars(1, tb.u0)");
    Reading &file = *FinishAndRead("partial.trax");
    // q is named again in the second tree, with its idcode.
    const std::vector<std::string> names = AllNames(file);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), std::set<std::string>({"tb.u0.a", "tb.u0.q",
                                                                                       "tb.u0.w", "tb.u0.data[3:0]"}));
    EXPECT_EQ(ChangesOf(file, "tb.u0.q").front().time, 0u);
    EXPECT_EQ(ChangesOf(file, "tb.u0.w").front().time, 5u) << "the rest came with $traxDumpvars";
}

TEST_F(DumpPattern, RecordsValueChangesOfWhatItDumped) {
    DumpTo(tb_, "values.trax");
    Run(tb_, "$traxDumpPattern(, 0, \"core\", \"x\")");
    sim_.AdvanceTo(3);
    sim_.SetValue(sim_.Lookup("tb.u1.core.x"), "1");
    sim_.SetValue(sim_.Lookup("tb.u1.core.y"), "1");
    Reading &file = *FinishAndRead("values.trax");
    const std::vector<Seen> changes = ChangesOf(file, "tb.u1.core.x");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].time, 3u);
    EXPECT_EQ(IdcodeOf(file, "tb.u1.core.y"), 0u);
}

TEST_F(DumpPattern, RequestsBeforeTheDumponTimeWaitAndReplayNewestFirst) {
    sim_.AddPlusArg("+trax+dumpon+100");
    DumpTo(tb_, "later.trax");
    Run(tb_, "$traxDumpPattern(, 0, \"u0\", \"w\")");
    Run(tb_, "$traxDumpPattern(, 0, \"u1\", \"w\")");
    EXPECT_TRUE(pli::g_dumper.files.empty()) << "nothing is dumped before the time";
    EXPECT_EQ(pli::g_dumper.deferred_patterns.size(), 2u);
    sim_.AdvanceTo(50);
    sim_.SetValue(sim_.Lookup("tb.u0.w"), "1");
    sim_.AdvanceTo(100);
    EXPECT_TRUE(pli::g_dumper.deferred_patterns.empty());
    sim_.AdvanceTo(120);
    sim_.SetValue(sim_.Lookup("tb.u0.w"), "0");
    Reading &file = *FinishAndRead("later.trax");
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"tb.u1.w", "tb.u0.w"}));
    const std::vector<Seen> changes = ChangesOf(file, "tb.u0.w");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].time, 100u) << "its value when dumping started";
    EXPECT_EQ(changes[1].time, 120u);
}

TEST_F(DumpPattern, RequestsAfterTheDumpoffTimeAreDropped) {
    sim_.AddPlusArg("+trax+dumpoff+0");
    Run(tb_, "$traxDumpPattern(, 0, \"u0\", )");
    EXPECT_TRUE(pli::g_dumper.deferred_patterns.empty());
    EXPECT_TRUE(pli::g_dumper.files.empty());
}

TEST_F(DumpPattern, ResetForgetsTheWaitingRequests) {
    sim_.AddPlusArg("+trax+dumpon+100");
    Run(tb_, "$traxDumpPattern(, 0, \"u0\", )");
    ASSERT_EQ(pli::g_dumper.deferred_patterns.size(), 1u);
    sim_.Reset();
    EXPECT_TRUE(pli::g_dumper.deferred_patterns.empty());
}

TEST_F(DumpPattern, TracesTheCutTree) {
    pli::g_trace.debug = true;
    DumpTo(tb_, "trace.trax");
    Run(tb_, "$traxDumpPattern(, 0, \"core\", )");
    const std::string text = sim_.TranscriptText();
    EXPECT_NE(text.find("DP> traxDumpPattern(NULL,0,core,NULL)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("PT>DisplayCutTree\n"), std::string::npos);
    const std::string u4 = "PT> tb.u4.core(" +
                           std::to_string(reinterpret_cast<uintptr_t>(static_cast<handle>(sim_.Lookup("tb.u4.core")))) +
                           ")\n";
    EXPECT_NE(text.find(u4), std::string::npos) << "the whole handle value";
    EXPECT_EQ(text.find("PT> tb.blk("), std::string::npos) << "a subtree without a match is not listed";
}

}  // namespace
}  // namespace tavri::test
