// $traxESDump in the model simulator, with templates written by the writer:
// the new file copies the template's whole tree with its idcodes and its
// essential-signal table and data byte for byte, and records changes for
// exactly the variables its level and scope arguments select; a refused
// template, a missing file, a scope the design lacks and the other dump
// modes each give their message and leave no damage.
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "frontend_fixture.h"
#include "unit/roundtrip/esd_template_builder.h"

namespace tavri::test {
namespace {

class EsdDump : public FrontEndTest {
  protected:
    // top: clk, bus[3:0]; u1, u2 (sub): a; b (leaf): x
    void BuildDesign() {
        top_ = sim_.AddTopModule("top", "tb");
        signals_["top.clk"] = sim_.AddReg(top_, "clk");
        signals_["top.bus"] = sim_.AddReg(top_, "bus", 3, 0);
        for (const char *name : {"u1", "u2"}) {
            Scope *sub = sim_.AddModule(top_, name, "sub");
            signals_[std::string("top.") + name + ".a"] = sim_.AddNet(sub, "a");
            Scope *b = sim_.AddModule(sub, "b", "leaf");
            signals_[std::string("top.") + name + ".b.x"] = sim_.AddNet(b, "x");
        }
    }

    // The design's tree as a template, plus `extra` scopes under top.
    static std::vector<TemplateScope> DesignTree(std::vector<TemplateScope> extra = {}) {
        std::vector<TemplateScope> subs;
        for (const char *name : {"u1", "u2"}) {
            subs.push_back(TemplateScope{name, {{"a", 0, 0, 5}}, {TemplateScope{"b", {{"x", 0, 0, 5}}, {}}}});
        }
        subs.insert(subs.begin(), extra.begin(), extra.end());
        return {TemplateScope{"top", {{"clk"}, {"bus", 3, 0}}, subs}};
    }

    // Every signal changes at 10 and 20.
    void Simulate() {
        sim_.EndStep();
        for (uint64_t time : {10u, 20u}) {
            sim_.AdvanceTo(time);
            for (const auto &[path, signal] : signals_) {
                sim_.SetValue(signal, signal == signals_["top.bus"] ? (time == 10 ? "1010" : "0101")
                                                                     : (time == 10 ? "1" : "0"));
            }
            sim_.EndStep();
        }
    }

    std::string Call(const std::string &template_name, const std::string &args = "") {
        return "$traxESDump(\"" + Path(template_name) + "\", \"" + Path("out.trax") + "\"" + args + ")";
    }

    // The variables of the file with changes at 10 or later.
    std::set<std::string> Recorded(Reading &file) {
        std::set<std::string> changed;
        for (const auto &[path, signal] : signals_) {
            for (const Seen &seen : ChangesOf(file, path)) {
                if (seen.time >= 10) changed.insert(path);
            }
        }
        return changed;
    }

    Scope *top_ = nullptr;
    std::map<std::string, Signal *> signals_;
};

struct SelectionCase {
    const char *name;
    std::string args;
    std::set<std::string> hooked;
    bool live_template;
};

void PrintTo(const SelectionCase &c, std::ostream *out) { *out << c.name; }

class EsdSelection : public EsdDump, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(EsdSelection, CopiesTreeIdcodesAndInformationAndHooksTheSelectedScopes) {
    BuildDesign();
    const TemplateEsd esd = PatternEsd(3, 57);
    txwObject *live = WriteTemplate(Path("tpl.trax"), DesignTree(), &esd, 3, GetParam().live_template);
    Run(top_, Call("tpl.trax", GetParam().args));
    EXPECT_EQ(sim_.CountMessages(ModelSim::Channel::kError), 0) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Read ESD infonmation from " + Path("tpl.trax"))) << sim_.TranscriptText();
    Simulate();
    if (live != nullptr) txw_CloseFile(live);
    Reading *file = FinishAndRead("out.trax");
    ASSERT_EQ(file->status, TRAXR_OK);
    EXPECT_EQ(Recorded(*file), GetParam().hooked);

    Reading source(Path("tpl.trax"));
    EXPECT_EQ(AllScopes(*file), AllScopes(source));
    EXPECT_EQ(traxr_MaxIdcode(file->reader), traxr_MaxIdcode(source.reader));
    for (uint32_t id = 1; id <= traxr_MaxIdcode(source.reader); ++id) {
        EXPECT_EQ(file->Names(id), source.Names(id)) << id;
    }
    EXPECT_EQ(traxr_GetHeader(file->reader)->file_type, 8);
    traxrEsdInfo info{};
    ASSERT_EQ(traxr_GetEsdInfo(file->reader, &info), TRAXR_OK);
    EXPECT_EQ(std::vector<uint8_t>(info.table, info.table + info.table_size), esd.table);
    EXPECT_EQ(std::vector<uint8_t>(info.data, info.data + info.data_size), esd.data);
}

const std::set<std::string> kAll = {"top.clk", "top.bus", "top.u1.a", "top.u1.b.x", "top.u2.a", "top.u2.b.x"};

INSTANTIATE_TEST_SUITE_P(
    Levels, EsdSelection,
    ::testing::Values(SelectionCase{"AllLevels", "", kAll, false},
                      SelectionCase{"LiveTemplate", "", kAll, true},
                      SelectionCase{"LevelZeroIsAll", ", 0", kAll, false},
                      SelectionCase{"LevelOutOfRangeIsAll", ", 99", kAll, false},
                      SelectionCase{"LevelTwo", ", 2", {"top.clk", "top.bus", "top.u1.a", "top.u2.a"}, false},
                      SelectionCase{"ScopeAtLevelOne", ", 1, top.u1", {"top.u1.a"}, false},
                      SelectionCase{"ScopeByName", ", \"top.u2\"", {"top.u2.a", "top.u2.b.x"}, false},
                      SelectionCase{"TwoScopes", ", 1, top.u2.b, \"top.u1\"", {"top.u1.a", "top.u2.b.x"}, false}));

TEST_F(EsdDump, RefusedTemplatesLeaveNoFile) {
    BuildDesign();
    WriteTemplate(Path("plain.trax"), DesignTree(), nullptr, 0, false);
    WriteTemplate(Path("verilog.trax"), DesignTree(), nullptr, 1, false, 0);
    std::ofstream(Path("text.trax")) << "this is no database file at all\n";
    struct Case {
        const char *file;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"plain.trax", "File " + Path("plain.trax") + " has no ESD!"},
        {"verilog.trax", Path("verilog.trax") + " isn't a valid essential signal dumping file "},
        {"text.trax", Path("text.trax") + " is not an TRAX file"},
        {"missing.trax", Path("missing.trax") + " is not an TRAX file"},
    };
    for (const Case &c : cases) {
        sim_.ClearTranscript();
        Run(top_, Call(c.file));
        EXPECT_TRUE(Printed("*Tavri* Error: " + c.error + "\n")) << c.file << "\n" << sim_.TranscriptText();
        EXPECT_TRUE(Printed("*Tavri* Error: $traxESDump ignored\n")) << c.file;
        EXPECT_FALSE(std::filesystem::exists(Path("out.trax"))) << c.file;
    }
    EXPECT_TRUE(pli::g_dumper.hooks.empty());
}

TEST_F(EsdDump, AScopeTheDesignLacksKeepsItsVariablesUnhookedAndItsSiblingsFound) {
    BuildDesign();
    const TemplateEsd esd = PatternEsd(1, 4);
    // ghost comes first under top and has a variable named like one of top's.
    WriteTemplate(Path("tpl.trax"),
                  DesignTree({TemplateScope{"ghost", {{"clk"}}, {TemplateScope{"inner", {{"y"}}, {}}}}}), &esd, 1,
                  false);
    Run(top_, Call("tpl.trax"));
    EXPECT_TRUE(Printed("*Tavri* Error: Can't find the scope ghost\n")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("WARNING: Can not find instance : clk\n"));
    EXPECT_TRUE(Printed("WARNING: Can not find instance : y\n"));
    EXPECT_FALSE(Printed("$traxESDump ignored"));
    Simulate();
    Reading *file = FinishAndRead("out.trax");
    EXPECT_EQ(Recorded(*file), kAll);
    // top.clk is recorded under its own idcode only; ghost.clk has none.
    EXPECT_TRUE(ChangesOf(*file, "top.ghost.clk").empty());
    EXPECT_EQ(ChangesOf(*file, "top.clk").size(), 3u);  // initial x, then 1 and 0
}

TEST_F(EsdDump, IsRefusedAfterDumpvarsAndLeavesItsFileAlone) {
    BuildDesign();
    const TemplateEsd esd = PatternEsd(1, 4);
    WriteTemplate(Path("tpl.trax"), DesignTree(), &esd, 1, false);
    DumpTo(top_, "single.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.ClearTranscript();
    TaskCall *call = Run(top_, Call("tpl.trax"));
    EXPECT_EQ(call->last_call_result, 0);
    EXPECT_EQ(sim_.TranscriptText(),
              "WARNING: Already call other system tasks, disable $traxESDump system task.\n"
              "*Tavri* Warning: disable $traxESDump\n");
    Simulate();
    Reading *file = FinishAndRead("single.trax");
    EXPECT_EQ(ChangesOf(*file, "top.clk").size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(Path("out.trax")));
}

TEST_F(EsdDump, TheModeRefusesTheOtherDumps) {
    BuildDesign();
    const TemplateEsd esd = PatternEsd(1, 4);
    WriteTemplate(Path("tpl.trax"), DesignTree(), &esd, 1, false);
    Run(top_, Call("tpl.trax"));
    sim_.ClearTranscript();
    Run(top_, "$traxDumpvars");
    EXPECT_TRUE(Printed("$traxDumpvars is already disabled.\n")) << sim_.TranscriptText();
    Simulate();
    Reading *file = FinishAndRead("out.trax");
    EXPECT_EQ(Recorded(*file), kAll);
}

struct CheckCase {
    const char *call;
    int accepted;
    std::vector<std::string> errors;  // before the syntax line
};

TEST_F(EsdDump, CheckWantsTwoNamesThenALevelAndScopes) {
    BuildDesign();
    const std::string syntax =
        "Syntax error - traxESDump(\"input_TRAX_filename\", \"output_TRAX_filename\", [[level][, scope]*])";
    const std::vector<CheckCase> cases = {
        {"$traxESDump(\"a\", \"b\")", 1, {}},
        {"$traxESDump(\"a\", \"b\", 2, top.u1, \"top.u2.b\")", 1, {}},
        {"$traxESDump(\"a\")", 0, {}},
        {"$traxESDump(\"a\", 2.5)", 0, {"$traxESDump - The #2 argument is not string or vector type."}},
        {"$traxESDump(2.5, \"b\")", 0, {"$traxESDump - The #1 argument is not string or vector type."}},
        {"$traxESDump(\"a\", \"\")", 0, {}},
        {"$traxESDump(\"a\", \"b\", top.u1, 2)", 0, {"$traxESDump - The type(accConstant) of #4 arg is invalid.\n"}},
        {"$traxESDump(\"a\", \"b\", top.clk)", 0, {"$traxESDump - The type(accReg) of #3 arg is invalid.\n"}},
        {"$traxESDump(\"a\", \"b\", \"top.nosuch\")", 0, {"Cannot find the instance(top.nosuch).\n"}},
    };
    for (const CheckCase &c : cases) {
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(top_, c.call);
        EXPECT_EQ(sim_.RunCheck(call), c.accepted) << c.call;
        std::vector<std::string> expected = c.errors;
        if (c.accepted == 0) expected.push_back(syntax);
        EXPECT_EQ(Errors(), expected) << c.call;
    }
}

}  // namespace
}  // namespace tavri::test
