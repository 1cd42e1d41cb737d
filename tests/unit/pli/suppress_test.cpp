// $traxSuppress: its argument checks, the scopes, module definitions and
// suppress files it takes, and what later dumps leave out because of it.
#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>

#include "frontend_fixture.h"
#include "pli/module_map.h"
#include "pli/scope_map.h"
#include "pli/suppress.h"

namespace tavri::test {
namespace {

constexpr const char *kSyntax =
    "ERROR: Syntax - $traxSuppress(\"module_file=\",\"filename\"); \n"
    "Syntax - $traxSuppress(scope|filename_var [,scope|filename_var]*);\n"
    "Syntax - $traxSuppress(\"module_base=\",\"module definition name\" [,\"module definition name\"]*); \n";

class Suppress : public FrontEndTest {
  protected:
    // top: clk
    //   u1, u2, odd.name (sub): a; b, c (leaf): x
    //   g (a generate-like named block): inst (leaf): x
    void BuildDesign() {
        top_ = sim_.AddTopModule("top", "tb");
        sim_.AddReg(top_, "clk");
        for (const char *name : {"u1", "u2", "odd.name"}) {
            Scope *sub = sim_.AddModule(top_, name, "sub");
            sim_.AddNet(sub, "a");
            for (const char *leaf : {"b", "c"}) {
                sim_.AddNet(sim_.AddModule(sub, leaf, "leaf"), "x");
            }
            subs_.push_back(sub);
        }
        Scope *block = sim_.AddBlock(top_, "g", accNamedBeginStat);
        sim_.AddNet(sim_.AddModule(block, "inst", "leaf"), "x");
    }

    static std::vector<std::string> Everything() {
        std::vector<std::string> all = {"top.clk", "top.g.inst.x"};
        for (const char *sub : {"top.u1", "top.u2", "top.odd.name"}) {
            for (const char *name : {".a", ".b.x", ".c.x"}) all.push_back(std::string(sub) + name);
        }
        std::sort(all.begin(), all.end());
        return all;
    }

    // Everything but the variables whose names begin with one of `prefixes`.
    static std::vector<std::string> EverythingBut(std::initializer_list<const char *> prefixes) {
        std::vector<std::string> kept;
        for (const std::string &name : Everything()) {
            bool dropped = false;
            for (const char *prefix : prefixes) dropped = dropped || name.starts_with(prefix);
            if (!dropped) kept.push_back(name);
        }
        return kept;
    }

    // Closes the run and lists the variables of the file, sorted.
    std::vector<std::string> Recorded(const std::string &name) {
        sim_.EndStep();
        sim_.Finish();
        Reading file(Path(name));
        EXPECT_EQ(file.status, TRAXR_OK) << file.message;
        std::vector<std::string> names = AllNames(file);
        std::sort(names.begin(), names.end());
        scopes_ = AllScopes(file);
        return names;
    }

    bool HasScope(const std::string &path) const {
        return std::find(scopes_.begin(), scopes_.end(), path) != scopes_.end();
    }

    std::string WriteText(const std::string &name, const std::string &text) {
        std::ofstream(Path(name)) << text;
        return Path(name);
    }

    Scope *top_ = nullptr;
    std::vector<Scope *> subs_;
    std::vector<std::string> scopes_;  // of the file Recorded read
};

struct CheckCase {
    const char *call;
    int accepted;
    const char *errors;  // the tf_error lines, in order
};

TEST_F(Suppress, CheckAcceptsScopesRegsAndAFirstStringOnly) {
    BuildDesign();
    sim_.AddReg(top_, "names", 63, 0);
    sim_.AddNet(top_, "wire_net");
    const std::string first_string = "ERROR: Syntax error - The #1 arg is neither a scope nor string.\n";
    const std::vector<CheckCase> cases = {
        {"$traxSuppress", 0, ""},  // filled below: no argument
        {"$traxSuppress()", 0, ""},
        {"$traxSuppress(top.u1, names, top.g)", 1, ""},
        {"$traxSuppress(\"list.txt\", 5, top.wire_net)", 1, ""},  // a string first: the rest is not looked at
        {"$traxSuppress(top.u1, top.wire_net, 5, names)", 0,
         "ERROR: Syntax error - The #2 arg is neither a scope nor reg.\n"
         "ERROR: Syntax error - The #3 arg is neither a scope nor reg.\n"},
        {"$traxSuppress(top.wire_net)", 0, "ERROR: Syntax error - The #1 arg is neither a scope nor reg.\n"},
    };
    for (const CheckCase &test : cases) {
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(top_, test.call);
        EXPECT_EQ(sim_.RunCheck(call), test.accepted) << test.call;
        std::string expected = test.errors;
        if (test.accepted == 0) {
            if (expected.empty()) expected = first_string;
            expected += kSyntax;
        }
        EXPECT_EQ(sim_.TranscriptText(), expected) << test.call;
    }
}

TEST_F(Suppress, ScopeArgumentsLeaveTheirSubtreesOutOfTheWholeDesignDump) {
    BuildDesign();
    DumpTo(top_, "scopes.trax");
    Run(top_, "$traxSuppress(top.u1, top.g)");
    Run(top_, "$traxDumpvars");
    EXPECT_TRUE(Printed("*Tavri* Warning: The instance(top.u1) is in suppress list. Skip dumping it!\n"))
        << sim_.TranscriptText();
    EXPECT_EQ(Recorded("scopes.trax"), EverythingBut({"top.u1.", "top.g."}));
    EXPECT_FALSE(HasScope("top.u1"));
    EXPECT_FALSE(HasScope("top.g.inst"));
}

TEST_F(Suppress, WarnsOnceForAChildSuppressedBeforeAndStillWalksItsSiblings) {
    BuildDesign();
    Run(top_, "$traxSuppress(top.u1.b)");
    Run(top_, "$traxSuppress(top.u1)");
    EXPECT_EQ(CountPrinted("has already been in suppress list"), 1) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Warning: The scope(top.u1.b) has already been in suppress list!\n"));
    Run(top_, "$traxSuppress(top.u1)");
    EXPECT_TRUE(Printed("*Tavri* Warning: The scope(top.u1) has already been in suppress list!\n"));
    sim_.ClearTranscript();
    EXPECT_TRUE(pli::IsSuppressed(sim_.Lookup("top.u1.c.x")));
    EXPECT_EQ(sim_.TranscriptText(), "*Tavri* Warning: The instance(top.u1.c.x) is in suppress list. Skip dumping it!\n")
        << "the query names the object asked about, not its scope";
    EXPECT_FALSE(pli::IsSuppressed(sim_.Lookup("top.u2.c.x")));
}

TEST_F(Suppress, ADumpedScopeSuppressedLaterBecomesSuppressedWithoutAWarning) {
    BuildDesign();
    DumpTo(top_, "later.trax");
    Run(top_, "$traxDumpvars(1, top.u1)");
    EXPECT_FALSE(pli::IsUnmarked(subs_[0]));
    EXPECT_FALSE(pli::IsSuppressed(subs_[0])) << "a dumped mark is not a suppressed one";
    sim_.ClearTranscript();
    Run(top_, "$traxSuppress(top.u1)");
    EXPECT_EQ(sim_.TranscriptText(), "");
    EXPECT_TRUE(pli::IsSuppressed(subs_[0]));
    EXPECT_TRUE(pli::IsSuppressed(sim_.Lookup("top.u1.b.x")));
}

TEST_F(Suppress, ModuleBaseLeavesOutEveryInstanceOfTheDefinitions) {
    BuildDesign();
    Scope *leaf_top = sim_.AddTopModule("spare", "leaf");
    sim_.AddReg(leaf_top, "r");
    DumpTo(top_, "modules.trax");
    Run(top_, "$traxSuppress(\"module_base=\", \"leaf\", \"nosuch\", \"leaf\")");
    EXPECT_EQ(CountPrinted("already"), 0) << sim_.TranscriptText();
    Run(top_, "$traxDumpvars");
    // The instance inside the named block counts too.
    EXPECT_EQ(Recorded("modules.trax"), (std::vector<std::string>{"top.clk", "top.odd.name.a", "top.u1.a", "top.u2.a"}));
}

TEST_F(Suppress, KeywordsAloneDoNothingAndSayNothing) {
    BuildDesign();
    for (const char *call : {"$traxSuppress(\"module_base=\")", "$traxSuppress(\"module_file=\")"}) {
        sim_.ClearTranscript();
        Run(top_, call);
        EXPECT_EQ(sim_.TranscriptText(), "") << call;
    }
    EXPECT_FALSE(pli::g_dumper.scope_map.suppress_active);
}

TEST_F(Suppress, AnOverlongDefinitionNameIsRefusedNotCut) {
    BuildDesign();
    const std::string longest(pli::kMaxDefinitionName, 'm');
    sim_.AddNet(sim_.AddModule(top_, "big", longest), "x");
    Run(top_, "$traxSuppress(\"module_base=\", \"" + longest + "m\")");
    EXPECT_TRUE(Printed("is longer than 1023 characters. Ignore it.\n")) << sim_.TranscriptText();
    EXPECT_FALSE(pli::IsSuppressed(sim_.Lookup("top.big.x"))) << "the name cut to 1023 characters is another module";
    Run(top_, "$traxSuppress(\"module_base=\", \"" + longest + "\")");
    EXPECT_TRUE(pli::IsSuppressed(sim_.Lookup("top.big.x")));
}

TEST_F(Suppress, SuppressFileWithCommentsQuotesAndEscapedNames) {
    BuildDesign();
    const std::string list = WriteText("list.txt",
                                       "# a comment line\n"
                                       "\n"
                                       "      \n"
                                       "top.u1.b   the rest of the line is ignored\n"
                                       "\t\"top.u2\"\n"
                                       "top.\\odd.name .c\tafter a tab\n"
                                       "  # not a comment\n"
                                       "top.clk\n"
                                       "top.nosuch\n"
                                       "# " + std::string(1500, 'y') + " top.u2.c\n"
                                       "top.u1.b\n");
    DumpTo(top_, "file.trax");
    Run(top_, "$traxSuppress(\"module_file=\", \"" + list + "\")");
    const std::string expected_messages =
        "*Tavri* Warning: $traxSuppress - Cannot find the scope(#).\n"
        "*Tavri* Warning: $traxSuppress - The top.clk is not a scope.\n"
        "*Tavri* Warning: $traxSuppress - Cannot find the scope(top.nosuch).\n"
        "*Tavri* Warning: The scope(top.u1.b) has already been in suppress list!\n";
    EXPECT_NE(sim_.TranscriptText().find(expected_messages), std::string::npos) << sim_.TranscriptText();
    EXPECT_EQ(CountPrinted("Cannot find"), 2) << "a long comment line stays one line\n" << sim_.TranscriptText();
    Run(top_, "$traxDumpvars");
    EXPECT_EQ(Recorded("file.trax"), EverythingBut({"top.u1.b.", "top.u2.", "top.odd.name.c."}));
}

TEST_F(Suppress, SuppressFileNamedByAStringOrHeldInAReg) {
    BuildDesign();
    const std::string first = WriteText("first.txt", "top.u1\n");
    const std::string second = WriteText("second.txt", "top.u2\n");
    Signal *held = sim_.AddReg(subs_[0], "held", static_cast<int>(8 * (second.size() + 3)) - 1, 0);
    sim_.SetValue(held, FourState::FromChars("   " + second).ToBinary());
    DumpTo(top_, "named.trax");
    Run(top_, "$traxSuppress(\"" + first + "\")");
    Run(top_, "$traxSuppress(top.u1.held)");
    Run(top_, "$traxDumpvars");
    EXPECT_EQ(Recorded("named.trax"), EverythingBut({"top.u1.", "top.u2."}));
}

TEST_F(Suppress, UnreadableFilesAndTheEssentialSignalModeOnlyReport) {
    BuildDesign();
    Run(top_, "$traxSuppress(\"" + Path("missing.txt") + "\")");
    EXPECT_TRUE(Printed("*Tavri* Error: $traxSuppress - Cannot open file '" + Path("missing.txt") + "' for read.\n"))
        << sim_.TranscriptText();
    pli::g_dumper.mode = pli::DumpMode::kEssentialSignal;
    sim_.ClearTranscript();
    Run(top_, "$traxSuppress(top.u1)");
    EXPECT_EQ(sim_.TranscriptText(), "WARNING: $traxSuppress is already disabled.\n");
    EXPECT_FALSE(pli::IsSuppressed(subs_[0]));
}

TEST_F(Suppress, DumpFinishForgetsTheList) {
    BuildDesign();
    DumpTo(top_, "first.trax");
    Run(top_, "$traxSuppress(top.u1)");
    Run(top_, "$traxDumpvars");
    Run(top_, "$traxDumpFinish");
    EXPECT_FALSE(pli::IsSuppressed(sim_.Lookup("top.u1.a")));
    DumpTo(top_, "second.trax");
    Run(top_, "$traxDumpvars");
    EXPECT_EQ(Recorded("second.trax"), Everything());
}

TEST_F(Suppress, ResetRestartAndAForcedFinishForgetTheList) {
    const std::vector<std::pair<const char *, std::function<void(ModelSim &)>>> events = {
        {"reset", [](ModelSim &sim) { sim.Reset(); }},
        {"start of restart", [](ModelSim &sim) { sim.StartOfRestart(); }},
        {"finish with +trax_force_delcb", [](ModelSim &sim) { sim.Finish(); }},
    };
    sim_.AddPlusArg("+trax_force_delcb");
    BuildDesign();
    int file = 0;
    for (const auto &[name, event] : events) {
        DumpTo(top_, "forget_" + std::to_string(++file) + ".trax");
        Run(top_, "$traxSuppress(top.u1)");
        Run(top_, "$traxDumpvars(1, top)");
        ASSERT_TRUE(pli::IsSuppressed(subs_[0])) << name;
        event(sim_);
        EXPECT_FALSE(pli::IsSuppressed(subs_[0])) << name;
    }
}

TEST_F(Suppress, TheSameNetPassLeavesASuppressedTopModuleOut) {
    const ScopedEnv same_net("TRAX_SAME_NET", "1");
    BuildDesign();
    sim_.AddReg(sim_.AddTopModule("spare", "other"), "r");
    DumpTo(top_, "same_net.trax");
    Run(top_, "$traxSuppress(spare)");
    Run(top_, "$traxDumpvars");
    EXPECT_EQ(Recorded("same_net.trax"), Everything());
    EXPECT_FALSE(HasScope("spare")) << "not even as an empty scope";
}

// Suppress and dump calls in different orders: a suppressed scope never
// reaches the file unless it was dumped before it was suppressed.
struct OrderCase {
    const char *name;
    std::vector<std::string> calls;
    std::vector<const char *> left_out;
};

void PrintTo(const OrderCase &test, std::ostream *out) { *out << test.name; }

class SuppressOrder : public Suppress, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(SuppressOrder, SuppressedScopesNeverReachTheFile) {
    BuildDesign();
    DumpTo(top_, "order.trax");
    for (const std::string &call : GetParam().calls) {
        Run(top_, call);
    }
    std::vector<std::string> expected = EverythingBut({});
    const std::vector<const char *> &left_out = GetParam().left_out;
    std::erase_if(expected, [&left_out](const std::string &name) {
        for (const char *prefix : left_out) {
            if (name.starts_with(prefix)) return true;
        }
        return false;
    });
    EXPECT_EQ(Recorded("order.trax"), expected) << sim_.TranscriptText();
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SuppressOrder,
    ::testing::Values(
        OrderCase{"ModulesThenSubtree",
                  {"$traxSuppress(\"module_base=\", \"leaf\")", "$traxSuppress(top.u1)", "$traxDumpvars"},
                  {"top.u1.", "top.u2.b.", "top.u2.c.", "top.odd.name.b.", "top.odd.name.c.", "top.g.inst."}},
        OrderCase{"SubtreeThenModules",
                  {"$traxSuppress(top.u1)", "$traxSuppress(\"module_base=\", \"sub\")", "$traxDumpvars(0, top)"},
                  {"top.u1.", "top.u2.", "top.odd.name."}},
        OrderCase{"BetweenTwoDumps",
                  {"$traxDumpvars(0, top.u2)", "$traxSuppress(top.u1)", "$traxDumpvars(0, top)"},
                  {"top.u1."}},
        OrderCase{"AfterTheScopeWasDumped",
                  {"$traxDumpvars(0, top.u1.b)", "$traxSuppress(top.u1)", "$traxDumpvars(0, top)"},
                  {"top.u1.a", "top.u1.c."}},
        OrderCase{"ScopeAndSignalArgumentsInside",
                  {"$traxSuppress(top.u1)", "$traxDumpvars(0, top.u1.b, top.u1.c.x, top.u1, top.u2)"},
                  {"top.u1.", "top.clk", "top.odd.name.", "top.g."}},
        OrderCase{"ParentArgumentAfterChildArgument",
                  {"$traxSuppress(top.u2.b)", "$traxDumpvars(1, top.u2.c)", "$traxDumpvars(0, top.u2)"},
                  {"top.u2.b.", "top.u1.", "top.clk", "top.odd.name.", "top.g."}}));

TEST_F(Suppress, ASuppressMadeWhileDumpingWaitsForItsStartStillApplies) {
    sim_.AddPlusArg("+trax+dumpon+10");
    BuildDesign();
    DumpTo(top_, "deferred.trax");
    Run(top_, "$traxDumpvars(0, top.u1, top.u2)");
    sim_.AdvanceTo(5);
    Run(top_, "$traxSuppress(top.u1)");
    sim_.AdvanceTo(20);
    EXPECT_EQ(Recorded("deferred.trax"), EverythingBut({"top.u1.", "top.clk", "top.odd.name.", "top.g."}));
    EXPECT_TRUE(HasScope("top.u2"));
    EXPECT_FALSE(HasScope("top.u1")) << "not even as an empty scope";
}

TEST(ScopeMap, HandlesThatDifferOnlyInTheirHighBitsAreDifferentScopes) {
    if constexpr (sizeof(void *) < 8) {
        GTEST_SKIP() << "handles have no high half here";
    } else {
        pli::ResetDumperState();
        const auto low = static_cast<uintptr_t>(0x12345670u);
        handle first = reinterpret_cast<handle>(low | (uintptr_t{1} << 40));
        handle second = reinterpret_cast<handle>(low | (uintptr_t{2} << 40));
        EXPECT_NE(pli::HashScopeHandle(first), pli::HashScopeHandle(second));
        pli::AddSuppressedScope(first);
        EXPECT_FALSE(pli::IsUnmarked(first));
        EXPECT_TRUE(pli::IsUnmarked(second));
        pli::MarkDumped(second);
        pli::MarkDumped(first);
        pli::DropDumpedMarks();
        EXPECT_FALSE(pli::IsUnmarked(first)) << "a suppressed scope stays suppressed";
        EXPECT_TRUE(pli::IsUnmarked(second));
        pli::DestroySuppressTables();
        EXPECT_TRUE(pli::IsUnmarked(first));
        pli::ResetDumperState();
    }
}

}  // namespace
}  // namespace tavri::test
