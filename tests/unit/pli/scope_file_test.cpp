// $traxDumpvarsToFile: the scope-file format (comments, levels, quoted,
// escaped and bit-select names), its one- and two-argument forms and the
// three dump modes that keep the uses of the dumper apart.
#include <algorithm>
#include <fstream>
#include <memory>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

class ScopeFile : public FrontEndTest {
  protected:
    // top: clk, bus[3:0]
    //   u1, u2, odd.name (sub): a; b (leaf): x; b.deep (leaf): y
    //   gen (a generate-like block): u[2] (leaf): x
    void BuildDesign() {
        top_ = sim_.AddTopModule("top", "tb");
        sim_.AddReg(top_, "clk");
        sim_.AddNet(top_, "bus", 3, 0);
        for (const char *name : {"u1", "u2", "odd.name"}) {
            Scope *sub = sim_.AddModule(top_, name, "sub");
            sim_.AddNet(sub, "a");
            Scope *b = sim_.AddModule(sub, "b", "leaf");
            sim_.AddNet(b, "x");
            sim_.AddNet(sim_.AddModule(b, "deep", "leaf"), "y");
        }
        Scope *gen = sim_.AddBlock(top_, "gen", accNamedBeginStat);
        sim_.AddNet(sim_.AddModule(gen, "u[2]", "leaf"), "x");
    }

    static std::vector<std::string> Under(const std::string &sub) {
        return {sub + ".a", sub + ".b.x", sub + ".b.deep.y"};
    }

    std::string WriteText(const std::string &name, const std::string &text) {
        std::ofstream(Path(name)) << text;
        return Path(name);
    }

    // Closes the run and lists the variables of `name`, sorted.
    std::vector<std::string> Recorded(const std::string &name) {
        sim_.EndStep();
        sim_.Finish();
        return VariablesOf(name);
    }

    std::vector<std::string> VariablesOf(const std::string &name) {
        Reading file(Path(name));
        EXPECT_EQ(file.status, TRAXR_OK) << name << ": " << file.message;
        std::vector<std::string> names = AllNames(file);
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::vector<std::string> Sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }

    Scope *top_ = nullptr;
};

struct CheckCase {
    const char *call;
    int accepted;
    const char *errors;
};

TEST_F(ScopeFile, CheckWantsOneOrTwoStrings) {
    BuildDesign();
    Signal *name = sim_.AddReg(top_, "name", 31, 0);
    sim_.SetValue(name, FourState::FromChars("f.sc").ToBinary());
    const char *syntax = "ERROR: Syntax error - $traxDumpvarsToFile(\"scope_file_name\"[, \"TRAX_file_name\"])\n";
    const std::vector<CheckCase> cases = {
        {"$traxDumpvarsToFile(\"a.sc\")", 1, ""},
        {"$traxDumpvarsToFile(name, \"b.trax\")", 1, ""},
        {"$traxDumpvarsToFile(top.u1)", 1, "ERROR: $traxDumpvarsToFile - The #1 argument is not string type\n"},
        {"$traxDumpvarsToFile(\"a.sc\", top)", 1, "ERROR: $traxDumpvarsToFile - The #2 argument is not string type\n"},
        {"$traxDumpvarsToFile", 0, syntax},
        {"$traxDumpvarsToFile(\"a\", \"b\", \"c\")", 0, syntax},
    };
    for (const CheckCase &test : cases) {
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(top_, test.call);
        EXPECT_EQ(sim_.RunCheck(call), test.accepted) << test.call;
        EXPECT_EQ(sim_.TranscriptText(), test.errors) << test.call;
    }
}

TEST_F(ScopeFile, DumpsWhatItListsWithLevelsCommentsAndEscapedNames) {
    BuildDesign();
    const std::string list = WriteText("list.sc",
                                       "# instances to record\n"
                                       "\n"
                                       "1 top\n"
                                       "  2\ttop.u1   and a remark\n"
                                       "\"top.u2.b.deep\"\n"
                                       "top.\\odd.name .b\n"
                                       "2top.u2\n"
                                       "12\n"
                                       "top.nosuch\n"
                                       "# " + std::string(1500, 'y') + " top.u2\n");
    DumpTo(top_, "list.trax");
    Run(top_, "$traxDumpvarsToFile(\"" + list + "\")");
    EXPECT_TRUE(Printed("*Tavri* Error: Unknown format at line 7 of the file '" + list + "'\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Error: Unknown format at line 8 of the file '" + list + "'\n"));
    EXPECT_TRUE(Printed("WARNING: Can not find instance : top.nosuch\n"));
    EXPECT_EQ(CountPrinted("Unknown format"), 2) << "a long comment stays one line\n" << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Start dumping the scopes.\n*Tavri* End of dumping.\n")) << sim_.TranscriptText();
    std::vector<std::string> expected = {"top.bus[3:0]", "top.clk", "top.u1.a", "top.u1.b.x", "top.u2.b.deep.y",
                                         "top.odd.name.b.x", "top.odd.name.b.deep.y"};
    EXPECT_EQ(Recorded("list.trax"), Sorted(expected));
}

TEST_F(ScopeFile, BitSelectNamesReachAVectorOrAGenerateScope) {
    BuildDesign();
    const std::string list = WriteText("selects.sc",
                                       "top.bus[2]\n"         // no level: the vector first
                                       "0 top.gen.u[2]\n");  // a level: the whole name first, a scope
    DumpTo(top_, "selects.trax");
    Run(top_, "$traxDumpvarsToFile(\"" + list + "\")");
    EXPECT_EQ(Recorded("selects.trax"), (std::vector<std::string>{"top.bus[3:0]", "top.gen.u[2].x"}));
}

TEST_F(ScopeFile, OnlyCommentsMakeAFileWithAnEmptyTree) {
    BuildDesign();
    const std::string list = WriteText("empty.sc", "# nothing\n\n   \n");
    DumpTo(top_, "empty.trax");
    Run(top_, "$traxDumpvarsToFile(\"" + list + "\")");
    EXPECT_TRUE(std::filesystem::exists(Path("empty.trax")));
    EXPECT_EQ(Recorded("empty.trax"), std::vector<std::string>{});
}

TEST_F(ScopeFile, SuppressedInstancesAreLeftOut) {
    BuildDesign();
    const std::string list = WriteText("sup.sc", "top.u1\ntop.u2\n");
    DumpTo(top_, "sup.trax");
    Run(top_, "$traxSuppress(top.u1, top.u2.b.deep)");
    Run(top_, "$traxDumpvarsToFile(\"" + list + "\")");
    EXPECT_EQ(Recorded("sup.trax"), (std::vector<std::string>{"top.u2.a", "top.u2.b.x"}));
}

TEST_F(ScopeFile, AViewerWrittenFileIsUsedUpByTheOneArgumentForm) {
    BuildDesign();
    const std::string viewer = WriteText("viewer.sc", "# Halvern tView 3.1\ntop.u1\n");
    const std::string own = WriteText("own.sc", "# Halvern tView 3.1\ntop.u2\n");
    DumpTo(top_, "viewer.trax");
    Run(top_, "$traxDumpvarsToFile(\"" + viewer + "\")");
    EXPECT_FALSE(std::filesystem::exists(viewer));
    EXPECT_EQ(Recorded("viewer.trax"), Sorted(Under("top.u1")));

    pli::ResetDumperState();
    Run(top_, "$traxDumpvarsToFile(\"" + own + "\", \"" + Path("own.trax") + "\")");
    EXPECT_TRUE(std::filesystem::exists(own)) << "the two-argument form never deletes";
}

TEST_F(ScopeFile, EachTwoArgumentCallWritesAFileOfItsOwn) {
    BuildDesign();
    const std::string first = WriteText("first.sc", "top.u1\n");
    const std::string both = WriteText("both.sc", "top.u1\n1 top.u2\n");
    Run(top_, "$traxDumpvarsToFile(\"" + first + "\", \"" + Path("first.trax") + "\")");
    Run(top_, "$traxDumpvarsToFile(\"" + both + "\", \"" + Path("both.trax") + "\")");
    EXPECT_EQ(pli::g_dumper.files.size(), 2u);
    sim_.EndStep();
    sim_.Finish();
    EXPECT_EQ(VariablesOf("first.trax"), Sorted(Under("top.u1")));
    // The second file gets top.u1 again: the scopes dumped into the first
    // count for the first only.
    EXPECT_EQ(VariablesOf("both.trax"), Sorted({"top.u1.a", "top.u1.b.x", "top.u1.b.deep.y", "top.u2.a"}));
}

// The modes exclude each other: a task of another mode is refused with the
// mode's warning and its own.
struct ModeCase {
    const char *name;
    std::vector<std::string> first;  // calls that set a mode
    std::string refused;             // the call refused then
    std::string warnings;            // tf_warning lines of the refusal
};

void PrintTo(const ModeCase &test, std::ostream *out) { *out << test.name; }

class DumpModes : public ScopeFile, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(DumpModes, RefuseTheOtherModesTasks) {
    BuildDesign();
    WriteText("a.sc", "top.u1\n");
    {
        const ScopedWorkingDirectory here(dir_);
        for (const std::string &call : GetParam().first) {
            if (call == "essential") {
                pli::g_dumper.mode = pli::DumpMode::kEssentialSignal;
            } else {
                Run(top_, call);
            }
        }
        sim_.ClearTranscript();
        TaskCall *call = Run(top_, GetParam().refused);
        EXPECT_EQ(call->last_call_result, 0);
        EXPECT_EQ(sim_.TranscriptText(), GetParam().warnings);
        sim_.Finish();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DumpModes,
    ::testing::Values(
        ModeCase{"OneArgumentAfterTwo",
                 {"$traxDumpvarsToFile(\"a.sc\", \"two.trax\")"},
                 "$traxDumpvarsToFile(\"a.sc\")",
                 "WARNING: $traxDumpvarsToFile has already invoked.\n"
                 "WARNING: $traxDumpvarsToFile(\"scope_filename\") is already disabled.\n"},
        ModeCase{"TwoArgumentsAfterOne",
                 {"$traxDumpvarsToFile(\"a.sc\")"},
                 "$traxDumpvarsToFile(\"a.sc\", \"two.trax\")",
                 "WARNING: The single TRAX file has already opened.\n"
                 "WARNING: $traxDumpvarsToFile(\"scope_filename\", \"TRAX_filename\") is already disabled.\n"},
        ModeCase{"DumpvarsAfterTwo",
                 {"$traxDumpvarsToFile(\"a.sc\", \"two.trax\")"},
                 "$traxDumpvars",
                 "WARNING: $traxDumpvarsToFile has already invoked.\n"
                 "WARNING: $traxDumpvars is already disabled.\n"},
        ModeCase{"TwoArgumentsAfterDumpvars",
                 {"$traxDumpvars"},
                 "$traxDumpvarsToFile(\"a.sc\", \"two.trax\")",
                 "WARNING: The single TRAX file has already opened.\n"
                 "WARNING: $traxDumpvarsToFile(\"scope_filename\", \"TRAX_filename\") is already disabled.\n"},
        ModeCase{"OneArgumentInTheEssentialSignalMode",
                 {"essential"},
                 "$traxDumpvarsToFile(\"a.sc\")",
                 "WARNING: $traxESDump has already invoked.\n"
                 "WARNING: $traxDumpvarsToFile(\"scope_filename\") is already disabled.\n"},
        ModeCase{"TwoArgumentsInTheEssentialSignalMode",
                 {"essential"},
                 "$traxDumpvarsToFile(\"a.sc\", \"two.trax\")",
                 "WARNING: $traxESDump has already invoked.\n"
                 "WARNING: $traxDumpvarsToFile(\"scope_filename\", \"TRAX_filename\") is already disabled.\n"}));

TEST_F(ScopeFile, AFailedTwoArgumentCallLeavesTheModeFree) {
    BuildDesign();
    const std::string missing = Path("missing.sc");
    Run(top_, "$traxDumpvarsToFile(\"" + missing + "\", \"" + Path("never.trax") + "\")");
    EXPECT_TRUE(Printed("*Tavri* Error: $traxDumpvarsToFile - Cannot open file '" + missing + "' for read.\n"))
        << sim_.TranscriptText();
    EXPECT_FALSE(std::filesystem::exists(Path("never.trax")));
    Run(top_, "$traxDumpvarsToFile(\"" + missing + "\", \"\")");
    EXPECT_TRUE(Printed("WARNING: $traxDumpvarsToFile - The #2 argument is invalid.\n")) << sim_.TranscriptText();
    const std::string list = WriteText("later.sc", "top.u2\n");
    DumpTo(top_, "later.trax");
    Run(top_, "$traxDumpvarsToFile(\"" + list + "\")");
    EXPECT_EQ(Recorded("later.trax"), Sorted(Under("top.u2")));
}

TEST_F(ScopeFile, ListedInstancesWaitForTheDumpOnTime) {
    sim_.AddPlusArg("+trax+dumpon+10");
    BuildDesign();
    const std::string list = WriteText("wait.sc", "1 top.u1\n");
    DumpTo(top_, "wait.trax");
    Run(top_, "$traxDumpvarsToFile(\"" + list + "\")");
    EXPECT_TRUE(pli::g_dumper.files.empty());
    sim_.AdvanceTo(20);
    EXPECT_EQ(Recorded("wait.trax"), (std::vector<std::string>{"top.u1.a"}));
}

}  // namespace
}  // namespace tavri::test
