// $traxSubstituteHier in the model simulator: splitting the substitute name,
// the argument checks, the paths that $traxDumpvars and $traxDumpPattern
// record under each kind of replace level, and the calls it refuses.
#include <algorithm>
#include <memory>
#include <set>

#include "frontend_fixture.h"
#include "pli/dumper_state.h"
#include "pli/substitute_hier.h"

namespace tavri::test {
namespace {

TEST(SplitSubstituteName, Table) {
    struct Case {
        const char *name;
        bool valid;
        std::vector<std::string> components;
    };
    const Case cases[] = {
        {"chip.core.blk", true, {"chip", "core", "blk"}},
        {"chip", true, {"chip"}},
        {".chip.core", true, {"chip", "core"}},
        {"chip.core.", true, {"chip", "core"}},
        {"", true, {}},
        {"chip..core", false, {}},
        {"..chip", false, {}},
        {"chip.core..", false, {}},
        {"chip.co re", false, {}},
        {"chip.co\tre", false, {}},
        {"chip.a\\b", false, {}},
        // An escaped identifier holds dots and ends at a blank.
        {"chip.\\sub.sys .blk", true, {"chip", "sub.sys", "blk"}},
        {"\\a+b ", true, {"a+b"}},
        {"chip.\\x[3]", true, {"chip", "x[3]"}},
        {"chip.\\x\ty.z", false, {}},  // after the blank a dot or the end
        {"chip.\\x y", false, {}},
        {"chip.\\ .z", false, {}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> components{"left over"};
        EXPECT_EQ(pli::SplitSubstituteName(c.name, &components), c.valid) << c.name;
        if (c.valid) {
            EXPECT_EQ(components, c.components) << c.name;
        }
    }
}

class SubstituteHier : public FrontEndTest {
  protected:
    // tb: clk, count (integer)
    //   dut (sub): a (input), q
    //     core (leaf): x
    void SetUp() override {
        FrontEndTest::SetUp();
        tb_ = sim_.AddTopModule("tb");
        sim_.AddReg(tb_, "clk");
        sim_.AddInteger(tb_, "count");
        Scope *dut = sim_.AddModule(tb_, "dut", "sub");
        Signal *a = sim_.AddNet(dut, "a");
        sim_.AddReg(dut, "q");
        sim_.AddPort(dut, "a", accInput, a);
        Scope *core = sim_.AddModule(dut, "core", "leaf");
        sim_.AddNet(core, "x");
    }

    static std::set<std::string> Set(const std::vector<std::string> &names) { return {names.begin(), names.end()}; }

    Scope *tb_ = nullptr;
};

constexpr const char kSyntax[] = "Syntax error -$traxSubstituteHier(\"module\",replace level);\n";

TEST_F(SubstituteHier, ArgumentChecks) {
    struct Case {
        const char *call;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"$traxSubstituteHier(\"chip\")", {kSyntax}},
        {"$traxSubstituteHier(\"chip\", 1, 2)", {kSyntax}},
        {"$traxSubstituteHier(5, 1)", {"The #1 arg is not a string or register.\n", kSyntax}},
        {"$traxSubstituteHier(tb.count, 1)", {"The #1 arg is not a string or register.\n", kSyntax}},
        {"$traxSubstituteHier(\"chip\", \"1\")", {"The #2 arg is not an integer.\n", kSyntax}},
        {"$traxSubstituteHier(\"chip\", -1)", {"The #2 arg is not a positive integer\n", kSyntax}},
        {"$traxSubstituteHier(\"chip\", tb.dut.a)", {"The #2 arg is not an integer or register.\n", kSyntax}},
        {"$traxSubstituteHier(tb.dut.a, tb.dut)",
         {"The #1 arg is not a string or register.\n", "The #2 arg is not an integer or register.\n", kSyntax}},
    };
    for (const Case &c : cases) {
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(tb_, c.call);
        EXPECT_EQ(sim_.RunCheck(call), 0) << c.call;
        EXPECT_EQ(Errors(), c.errors) << c.call;
        EXPECT_EQ(sim_.RunCall(call), 0) << c.call;
        EXPECT_EQ(pli::g_dumper.substitution.replace_level, -1) << c.call;
    }
    for (const char *good : {"$traxSubstituteHier(\"chip\", 0)", "$traxSubstituteHier(tb.dut.q, tb.count)",
                             "$traxSubstituteHier(\"chip\", tb.dut.q)"}) {
        EXPECT_EQ(sim_.RunCheck(sim_.AddTaskCall(tb_, good)), 1) << good;
    }
    EXPECT_TRUE(sim_.Diagnostics().empty()) << sim_.Diagnostics().front();
}

struct RenameCase {
    const char *name;
    int level;
    const char *dump;
    std::vector<std::string> paths;
};

std::ostream &operator<<(std::ostream &out, const RenameCase &c) {
    return out << c.name << " level " << c.level << ", " << c.dump;
}

class SubstituteHierRenames : public SubstituteHier, public ::testing::WithParamInterface<RenameCase> {};

// Every variable lands under the path the substitution gives its scope, for
// every way of dumping.
TEST_P(SubstituteHierRenames, RecordedPaths) {
    const RenameCase &c = GetParam();
    DumpTo(tb_, "renamed.trax");
    std::string literal;  // the name as a Verilog string literal writes it
    for (const char *p = c.name; *p != '\0'; ++p) {
        literal += *p == '\\' ? "\\\\" : std::string(1, *p);
    }
    Run(tb_, "$traxSubstituteHier(\"" + literal + "\", " + std::to_string(c.level) + ")");
    ASSERT_EQ(pli::g_dumper.substitution.name, c.name);
    Run(tb_, c.dump);
    Reading &file = *FinishAndRead("renamed.trax");
    EXPECT_EQ(Set(AllNames(file)), Set(c.paths)) << sim_.TranscriptText();
}

constexpr const char kDumpAll[] = "$traxDumpvars";
constexpr const char kDumpDut[] = "$traxDumpvars(0, tb.dut)";
constexpr const char kDumpSignal[] = "$traxDumpvars(0, tb.dut.core.x, tb.clk)";
constexpr const char kPattern[] = "$traxDumpPattern(, 0, \"d*\", )";
constexpr const char kPatternRoot[] = "$traxDumpPattern(tb.dut, 0, \"core\", )";

INSTANTIATE_TEST_SUITE_P(
    Levels, SubstituteHierRenames,
    ::testing::Values(
        // L = 0: everything below the components.
        RenameCase{"chip.sys", 0, kDumpAll,
                   {"chip.sys.tb.clk", "chip.sys.tb.count", "chip.sys.tb.dut.a", "chip.sys.tb.dut.q",
                    "chip.sys.tb.dut.core.x"}},
        // 0 < L < D: the top levels under the last components.
        RenameCase{"chip.\\sub.sys .blk", 2, kDumpAll,
                   {"chip.sub.sys.clk", "chip.sub.sys.count", "chip.sub.sys.blk.a", "chip.sub.sys.blk.q",
                    "chip.sub.sys.blk.core.x"}},
        RenameCase{"chip.sys", 1, kDumpDut, {"chip.sys.dut.a", "chip.sys.dut.q", "chip.sys.dut.core.x"}},
        // L = D: one for one.
        RenameCase{"chip.blk", 2, kDumpAll,
                   {"chip.clk", "chip.count", "chip.blk.a", "chip.blk.q", "chip.blk.core.x"}},
        RenameCase{"chip.blk", 2, kDumpSignal, {"chip.clk", "chip.blk.core.x"}},
        RenameCase{"chip.blk", 2, kPattern, {"chip.blk.a", "chip.blk.q", "chip.blk.core.x"}},
        RenameCase{"chip.blk", 2, kPatternRoot, {"chip.blk.core.x"}},
        // L > D: the top L - D levels are dropped with their variables.
        RenameCase{"blk", 2, kDumpAll, {"blk.a", "blk.q", "blk.core.x"}},
        RenameCase{"blk", 3, kDumpDut, {"blk.x"}},
        RenameCase{"blk", 2, kDumpSignal, {"blk.core.x"}},
        RenameCase{"blk", 2, kPattern, {"blk.a", "blk.q", "blk.core.x"}},
        RenameCase{"blk", 3, kPatternRoot, {"blk.x"}},
        RenameCase{".top.", 1, kPattern, {"top.dut.a", "top.dut.q", "top.dut.core.x"}}));

TEST_F(SubstituteHier, PrefixOpensAndClosesInEveryTree) {
    DumpTo(tb_, "trees.trax");
    Run(tb_, "$traxSubstituteHier(\"a.b.c\", 1)");
    EXPECT_TRUE(Printed("*Tavri* traxSubstituteHier:\n\treplace level(1), Substitute Hierarchy Name(a.b.c).\n"))
        << sim_.TranscriptText();
    Run(tb_, "$traxDumpvars(1, tb)");
    Run(tb_, "$traxDumpPattern(, 0, \"core\", )");
    Run(tb_, "$traxDumpvars(0, tb.dut)");
    Reading &file = *FinishAndRead("trees.trax");
    EXPECT_EQ(Set(AllNames(file)), Set({"a.b.c.clk", "a.b.c.count", "a.b.c.dut.core.x", "a.b.c.dut.a", "a.b.c.dut.q"}));
    for (const std::string &scope : AllScopes(file)) {
        EXPECT_TRUE(scope == "a" || scope.rfind("a.b", 0) == 0) << scope << ": every tree opens under the prefix";
    }
}

TEST_F(SubstituteHier, NameAndLevelFromVariables) {
    Signal *name = sim_.AddReg(tb_, "where", 8 * 8 - 1, 0);
    Signal *level = sim_.AddInteger(tb_, "depth");
    std::string bits;
    for (char c : std::string("top.cpu")) {
        for (int i = 7; i >= 0; --i) bits += ((c >> i) & 1) != 0 ? '1' : '0';
    }
    sim_.SetValue(name, std::string(8, '0') + bits);
    sim_.SetInteger(level, 1);
    DumpTo(tb_, "vars.trax");
    Run(tb_, "$traxSubstituteHier(tb.where, tb.depth)");
    Run(tb_, "$traxDumpvars(0, tb.dut)");
    Reading &file = *FinishAndRead("vars.trax");
    EXPECT_EQ(Set(AllNames(file)), Set({"top.cpu.dut.a", "top.cpu.dut.q", "top.cpu.dut.core.x"}));
}

TEST_F(SubstituteHier, NegativeLevelInAVariableIsRefused) {
    Signal *level = sim_.AddInteger(tb_, "depth");
    sim_.SetInteger(level, -2);
    Run(tb_, "$traxSubstituteHier(\"chip\", tb.depth)");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSubstituteHier- invalid value of the integer var (tb.depth).\n"))
        << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, -1);
}

TEST_F(SubstituteHier, LevelDeeperThanTheNameWarns) {
    Run(tb_, "$traxSubstituteHier(\"blk\", 3)");
    EXPECT_TRUE(Printed("*Tavri* Warning: \n\t$traxSubstituteHier - \n\tReplace level(3) is larger than the deepth of "
                        "\"blk\".\n\tYou will lose some information of the higher scopes.\n"))
        << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, 3) << "the setting stands";
}

TEST_F(SubstituteHier, OnlyTheFirstCallCounts) {
    DumpTo(tb_, "first.trax");
    Run(tb_, "$traxSubstituteHier(\" chip\t\", 0)");
    Run(tb_, "$traxSubstituteHier(\"other\", 0)");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSubstituteHier has been called.\n")) << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.substitution.name, "chip") << "trimmed";
    Run(tb_, "$traxDumpvars(1, tb)");
    Reading &file = *FinishAndRead("first.trax");
    EXPECT_EQ(Set(AllNames(file)), Set({"chip.tb.clk", "chip.tb.count"}));
}

TEST_F(SubstituteHier, RefusedOnceVariablesExist) {
    DumpTo(tb_, "late.trax");
    Run(tb_, "$traxDumpvars(1, tb)");
    Run(tb_, "$traxSubstituteHier(\"chip\", 0)");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSubstituteHier is disabled.\n")) << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, -1);
    Run(tb_, "$traxDumpvars(0, tb.dut)");
    Reading &file = *FinishAndRead("late.trax");
    EXPECT_EQ(Set(AllNames(file)), Set({"tb.clk", "tb.count", "tb.dut.a", "tb.dut.q", "tb.dut.core.x"}));
}

TEST_F(SubstituteHier, InvalidNameSetsNothingAndALaterCallMay) {
    Run(tb_, "$traxSubstituteHier(\"chip..core\", 1)");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSubstituteHier: \"chip..core\" is an invalid hierarchy scope name.\n"))
        << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, -1);
    EXPECT_TRUE(pli::g_dumper.substitution.components.empty());
    Run(tb_, "$traxSubstituteHier(\"chip.core\", 1)");
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, 1);
    EXPECT_EQ(pli::g_dumper.substitution.components, (std::vector<std::string>{"chip", "core"}));
}

TEST_F(SubstituteHier, RefusedInInteractiveMode) {
    pli::g_dumper.interactive = true;
    Run(tb_, "$traxSubstituteHier(\"chip\", 0)");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSubstituteHier is disabled during the Halvern/Onyxa interactive mode.\n"))
        << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, -1);
}

TEST_F(SubstituteHier, FinishForgetsIt) {
    Run(tb_, "$traxSubstituteHier(\"chip\", 0)");
    Run(tb_, "$traxDumpPattern(,,,)");
    sim_.Finish();
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, -1);
    EXPECT_TRUE(pli::g_dumper.substitution.components.empty());
}

}  // namespace
}  // namespace tavri::test
