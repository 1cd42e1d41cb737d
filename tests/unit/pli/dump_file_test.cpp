// Dump files from creation to close: names (task argument, plus-argument,
// defaults, numbered names, reserve mode), the settings of a new file, the
// control tasks without a file, argument checks, reset and restart.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

class DumpFile : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        clk_ = sim_.AddReg(top_, "clk");
        bus_ = sim_.AddNet(top_, "bus", 3, 0);
        u_ = sim_.AddModule(top_, "u");
        x_ = sim_.AddNet(u_, "x");
    }

    static std::string Contents(const std::filesystem::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    Scope *top_ = nullptr;
    Signal *clk_ = nullptr;
    Signal *bus_ = nullptr;
    Scope *u_ = nullptr;
    Signal *x_ = nullptr;
};

TEST_F(DumpFile, PlusArgumentNameReplacesTheTaskArgument) {
    sim_.AddPlusArg("+traxfile+" + Path("x.trax"));
    BuildDesign();
    DumpTo(top_, "out.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();
    EXPECT_FALSE(std::filesystem::exists(Path("out.trax")));
    EXPECT_TRUE(Printed("*Tavri* Create TRAX file '" + Path("x.trax") + "'\n")) << sim_.TranscriptText();
    Reading file(Path("x.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "1")}));
}

TEST_F(DumpFile, SecondDumpfileWarnsAndTheOpenFileGoesOn) {
    BuildDesign();
    DumpTo(top_, "first.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.AdvanceTo(10);
    DumpTo(top_, "second.trax");
    EXPECT_TRUE(Printed("WARNING: $traxDumpfile - One TRAX file has already opened for dumping.\n"))
        << sim_.TranscriptText();
    sim_.SetValue(clk_, "0");
    sim_.EndStep();
    sim_.Finish();
    EXPECT_FALSE(std::filesystem::exists(Path("second.trax")));
    Reading file(Path("first.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "x"), At(10, "0")}));
}

TEST_F(DumpFile, NameFromAVectorHoldingText) {
    BuildDesign();
    const std::string path = Path("held.trax");
    Signal *name = sim_.AddReg(top_, "name", static_cast<int>(8 * path.size()) - 1, 0);
    sim_.SetValue(name, FourState::FromChars(path).ToBinary());
    Run(top_, "$traxDumpfile(name)");
    Run(top_, "$traxDumpvars(1, top.u)");
    sim_.Finish();
    Reading file(path);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.u.x"}));
}

TEST_F(DumpFile, VectorWithoutTextIsNoFileName) {
    BuildDesign();
    Signal *name = sim_.AddReg(top_, "name", 15, 0);
    sim_.SetValue(name, std::string(16, '0'));
    Run(top_, "$traxDumpfile(name)");
    EXPECT_TRUE(Printed("WARNING: $traxDumpfile - Invalid filename argument.\n")) << sim_.TranscriptText();
    EXPECT_TRUE(pli::g_dumper.files.empty());
}

TEST_F(DumpFile, DefaultNameThenNumberedNamesAfterDumpFinish) {
    BuildDesign();
    ScopedWorkingDirectory in_scratch(dir_);
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpFinish");
    EXPECT_TRUE(Printed("*Tavri* Close all TRAX files.\n")) << sim_.TranscriptText();
    EXPECT_TRUE(pli::g_dumper.files.empty());
    sim_.SetValue(clk_, "0");  // nowhere to go
    sim_.EndStep();

    sim_.AdvanceTo(20);
    sim_.ClearTranscript();
    Run(top_, "$traxDumpvars(1, top)");
    EXPECT_TRUE(Printed("*Tavri* Warning: You have closed the TRAX file(verilog.trax) in this simulation.\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Warning: Create a new TRAX file(verilog_000.trax) instead.\n"));
    sim_.AdvanceTo(30);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    Run(top_, "$traxDumpFinish");

    sim_.AdvanceTo(40);
    Run(top_, "$traxDumpvars(1, top)");
    sim_.Finish();

    Reading first(Path("verilog.trax"));
    ASSERT_EQ(first.status, TRAXR_OK) << first.message;
    EXPECT_EQ(first.Header().file_status, 0);
    EXPECT_EQ(ChangesOf(first, "top.clk"), (std::vector<Seen>{At(0, "1")}));
    Reading second(Path("verilog_000.trax"));
    ASSERT_EQ(second.status, TRAXR_OK) << second.message;
    EXPECT_EQ(ChangesOf(second, "top.clk"), (std::vector<Seen>{At(20, "0"), At(30, "1")}));
    Reading third(Path("verilog_001.trax"));
    ASSERT_EQ(third.status, TRAXR_OK) << third.message;
    EXPECT_EQ(ChangesOf(third, "top.clk"), (std::vector<Seen>{At(40, "1")}));
}

TEST_F(DumpFile, DumpFinishForgetsTheTaskFileName) {
    BuildDesign();
    DumpTo(top_, "named.trax");
    Run(top_, "$traxDumpvars(1, top)");
    Run(top_, "$traxDumpFinish");
    ScopedWorkingDirectory in_scratch(dir_);
    Run(top_, "$traxDumpvars(1, top)");
    sim_.Finish();
    EXPECT_TRUE(std::filesystem::exists(Path("verilog.trax"))) << "the default name, not named_000.trax";
    EXPECT_FALSE(std::filesystem::exists(Path("named_000.trax")));
}

TEST_F(DumpFile, ReserveModeLeavesExistingFilesAlone) {
    sim_.AddPlusArg("+trax+reserve");
    BuildDesign();
    ScopedWorkingDirectory in_scratch(dir_);
    { std::ofstream(dir_ / "verilog.trax") << "kept"; }
    { std::ofstream(dir_ / "verilog_000.trax") << "kept too"; }
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();
    EXPECT_EQ(Contents(dir_ / "verilog.trax"), "kept");
    EXPECT_EQ(Contents(dir_ / "verilog_000.trax"), "kept too");
    Reading file(Path("verilog_001.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "1")}));
}

TEST_F(DumpFile, WithoutReserveAnExistingFileIsReplaced) {
    BuildDesign();
    { std::ofstream(dir_ / "old.trax") << "an old file that is no database"; }
    DumpTo(top_, "old.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.Finish();
    Reading file(Path("old.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.bus[3:0]", "top.clk"}));
}

TEST_F(DumpFile, DumpLevelOneWritesTheTreeAndNoValues) {
    ScopedEnv level("TRAX_DUMP_LEVEL", "1");
    BuildDesign();
    DumpTo(top_, "tree.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.SetValue(clk_, "1");
    sim_.SetValue(bus_, "0101");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(x_, "0");
    sim_.EndStep();
    sim_.Finish();
    EXPECT_FALSE(Printed("TRAX_DUMP_LEVEL only provide to level 4"));
    Reading file(Path("tree.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.bus[3:0]", "top.clk", "top.u.x"}));
    for (const std::string &name : AllNames(file)) {
        EXPECT_TRUE(ChangesOf(file, name).empty()) << name;
    }
}

class DumpLevelOutOfRange : public DumpFile, public ::testing::WithParamInterface<const char *> {};

TEST_P(DumpLevelOutOfRange, WarnsAndDumpsNormally) {
    ScopedEnv level("TRAX_DUMP_LEVEL", GetParam());
    BuildDesign();
    DumpTo(top_, "level.trax");
    EXPECT_TRUE(Printed("*Tavri* Warning: TRAX_DUMP_LEVEL only provide to level 4\n")) << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(1, top)");
    sim_.AdvanceTo(10);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("level.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "x"), At(10, "1")}));
}

INSTANTIATE_TEST_SUITE_P(Levels, DumpLevelOutOfRange, ::testing::Values("-1", "5"),
                         [](const auto &param_info) { return param_info.index == 0 ? "Minus1" : "Five"; });

TEST_F(DumpFile, DumpLevelsTwoToFourChangeNothing) {
    ScopedEnv level("TRAX_DUMP_LEVEL", "4");
    BuildDesign();
    DumpTo(top_, "four.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "0");
    sim_.EndStep();
    sim_.Finish();
    EXPECT_FALSE(Printed("TRAX_DUMP_LEVEL"));
    Reading file(Path("four.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "0")}));
}

TEST_F(DumpFile, DumplimitAfterTheFileExistsOnlyWarns) {
    BuildDesign();
    DumpTo(top_, "limit.trax");
    Run(top_, "$traxDumplimit(100)");
    EXPECT_TRUE(Printed("*Tavri* Warning: $traxDumplimit should be called before $traxDumpvars & $traxDumpfile.\n"))
        << sim_.TranscriptText();
    EXPECT_FALSE(pli::g_dumper.dump_limit_set);
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("limit.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().dump_limit, 0u);
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "1")}));
}

TEST_F(DumpFile, DumplimitBeforeTheFileIsHandedToTheWriter) {
    BuildDesign();
    Run(top_, "$traxDumplimit(100)");
    EXPECT_TRUE(Printed("*Tavri* Set the limit of TRAX file size to 100MB.\n")) << sim_.TranscriptText();
    DumpTo(top_, "limited.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();
    // The writer takes the limit: the file is a ring of 100 MB.
    EXPECT_TRUE(Printed("*Tavri* Set TRAX file size limit to 100MB.\n")) << sim_.TranscriptText();
    traxrHeader header{};
    char message[256] = {};
    ASSERT_EQ(traxr_ReadHeader(Path("limited.trax").c_str(), &header, message, sizeof message), TRAXR_OK) << message;
    EXPECT_EQ(header.dump_limit, 100u);
    Reading file(Path("limited.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message << "\n" << sim_.TranscriptText();
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "1")}));
}

TEST_F(DumpFile, DumponWithoutAFileTurnsDumpingOnForTheNextFile) {
    BuildDesign();
    DumpTo(top_, "a.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.EndStep();
    sim_.AdvanceTo(5);
    Run(top_, "$traxDumpoff");
    Run(top_, "$traxDumpFinish");
    sim_.ClearTranscript();
    Run(top_, "$traxDumpon");
    EXPECT_TRUE(Printed("WARNING: $traxDumpon - The TRAX file has not been created.\n")) << sim_.TranscriptText();
    EXPECT_TRUE(pli::g_dumper.dumping_on);
    sim_.EndStep();
    sim_.AdvanceTo(10);
    DumpTo(top_, "b.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.AdvanceTo(20);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("b.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(10, "x"), At(20, "1")}));
}

TEST_F(DumpFile, ControlTasksWithoutAFileWarn) {
    BuildDesign();
    Run(top_, "$traxDumpoff");
    Run(top_, "$traxDumpflush");
    Run(top_, "$traxDumpFinish");
    EXPECT_EQ(sim_.TranscriptText(),
              "WARNING: $traxDumpoff - The TRAX file has not been created.\n"
              "WARNING: $traxDumpflush - The TRAX file has not been created.\n");
    EXPECT_FALSE(pli::g_dumper.dumping_on) << "the next file starts with dumping off";
}

TEST_F(DumpFile, FileArgumentChecks) {
    BuildDesign();
    sim_.AddReal(top_, "ratio");
    const std::string syntax = "Syntax error - $traxDumpfile(\"filename\")";
    const std::string kind = "$traxDumpfile - The #1 argument is not string or vector type.";
    struct Case {
        const char *source;
        std::vector<std::string> errors;
    };
    for (const Case &c : {Case{"$traxDumpfile", {syntax}}, Case{"$traxDumpfile()", {syntax}},
                          Case{"$traxDumpfile(\"\")", {syntax}}, Case{"$traxDumpfile(\"a\", \"b\")", {syntax}},
                          Case{"$traxDumpfile(2.5)", {kind, syntax}}, Case{"$traxDumpfile(ratio)", {kind, syntax}},
                          Case{"$traxDumpfile(bus)", {}}, Case{"$traxDumpfile(bus[2:1])", {}}}) {
        SCOPED_TRACE(c.source);
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(top_, c.source);
        const int result = sim_.RunCheck(call);
        EXPECT_EQ(result, c.errors.empty() ? 1 : 0);
        EXPECT_EQ(Errors(), c.errors);
    }
    EXPECT_TRUE(pli::g_dumper.files.empty()) << "checks create no file";
}

TEST_F(DumpFile, LimitAndStrengthArgumentChecks) {
    BuildDesign();
    sim_.AddReal(top_, "ratio");
    sim_.AddEvent(top_, "go");
    sim_.AddInteger(top_, "count");
    const std::string limit = "Syntax error - $traxDumplimit(filesize);\n";
    const std::string strength = "$traxDumpStrength should not have any argument";
    const std::string none = "Syntax error - No argument is allowed";
    struct Case {
        const char *source;
        std::vector<std::string> errors;
    };
    for (const Case &c : {Case{"$traxDumplimit(100)", {}}, Case{"$traxDumplimit(count)", {}},
                          Case{"$traxDumplimit(clk)", {}}, Case{"$traxDumplimit(ratio)", {}},
                          Case{"$traxDumplimit", {limit}}, Case{"$traxDumplimit(\"big\")", {limit}},
                          Case{"$traxDumplimit(go)", {limit}}, Case{"$traxDumplimit(1, 2)", {limit}},
                          Case{"$traxDumpStrength", {}}, Case{"$traxDumpStrength()", {}},
                          Case{"$traxDumpStrength(1)", {strength}}, Case{"$traxDumpStrength(,)", {strength}},
                          Case{"$traxDumpon(1)", {none}}, Case{"$traxDumpoff(clk)", {none}},
                          Case{"$traxDumpflush()", {}}, Case{"$traxDumpFinish(\"x\")", {none}}}) {
        SCOPED_TRACE(c.source);
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(top_, c.source);
        EXPECT_EQ(sim_.RunCheck(call), c.errors.empty() ? 1 : 0);
        EXPECT_EQ(Errors(), c.errors);
    }
}

TEST_F(DumpFile, HeaderTellsTheScaleUnitSimulatorAndSequenceNumbers) {
    sim_.SetResolutionLimit(-12);
    sim_.SetProductVersion("Model Simulator Version 6.2a");
    sim_.AddPlusArg("+trax_sequential");
    BuildDesign();
    DumpTo(top_, "header.trax");
    EXPECT_TRUE(Printed("*Tavri* Enable dumping value change sequence.\n")) << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(1, top)");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(clk_, "1");
    sim_.SetValue(bus_, "0011");  // written at the end of the step, after clk
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("header.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_STREQ(file.Header().scale_unit, "1ps");
    EXPECT_STREQ(file.Header().simulator_version, "Model Simulator Version 6.2a");
    EXPECT_EQ(file.Header().has_sequence_number, 1);
    const std::vector<Seen> clk = ChangesOf(file, "top.clk");
    const std::vector<Seen> bus = ChangesOf(file, "top.bus[3:0]");
    ASSERT_EQ(clk.size(), 2u);
    ASSERT_EQ(bus.size(), 2u);
    EXPECT_EQ(clk[1].sequence, 1u);
    EXPECT_EQ(bus[1].sequence, 2u);
}

TEST_F(DumpFile, ResetClosesTheFileAndForgetsTheRun) {
    BuildDesign();
    DumpTo(top_, "reset.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(bus_, "1100");  // pending when the reset comes
    sim_.Reset();
    EXPECT_TRUE(pli::g_dumper.files.empty());
    EXPECT_TRUE(pli::g_dumper.hooks.empty());
    EXPECT_FALSE(pli::g_dumper.current_file_name.has_value());
    sim_.SetValue(clk_, "0");
    sim_.EndStep();
    Reading file(Path("reset.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().file_status, 0);
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "1")}));
    EXPECT_EQ(ChangesOf(file, "top.bus[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(10, "1100")}));
}

class Restart : public DumpFile {
  protected:
    // Save at 10, restart at 20 (the model simulator's time goes on).
    void SaveAndRestart() {
        sim_.AdvanceTo(10);
        sim_.StartOfSave();
        sim_.Save();
        sim_.SetValue(clk_, "0");  // after the save: still recorded
        sim_.EndStep();
        sim_.AdvanceTo(20);
        sim_.StartOfRestart();
        sim_.Restart();
    }
};

TEST_F(Restart, FileReopensUnderARestoreNameWithTheSameScopes) {
    BuildDesign();
    DumpTo(top_, "a.trax");
    Run(top_, "$traxDumpvars(1, top.u)");
    Run(top_, "$traxDumpvars(0, top.clk)");
    sim_.SetValue(x_, "1");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    SaveAndRestart();
    EXPECT_TRUE(Printed("*Tavri* Create TRAX file '" + Path("a.restore.trax") + "'\n")) << sim_.TranscriptText();
    sim_.AdvanceTo(30);
    sim_.SetValue(x_, "0");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();

    Reading before(Path("a.trax"));
    ASSERT_EQ(before.status, TRAXR_OK) << before.message;
    EXPECT_EQ(before.Header().file_status, 0);
    EXPECT_EQ(ChangesOf(before, "top.clk"), (std::vector<Seen>{At(0, "1"), At(10, "0")}));
    Reading after(Path("a.restore.trax"));
    ASSERT_EQ(after.status, TRAXR_OK) << after.message;
    std::vector<std::string> names_after = AllNames(after);
    std::vector<std::string> names_before = AllNames(before);
    std::sort(names_after.begin(), names_after.end());
    std::sort(names_before.begin(), names_before.end());
    EXPECT_EQ(names_after, names_before);
    EXPECT_EQ(ChangesOf(after, "top.u.x"), (std::vector<Seen>{At(20, "1"), At(30, "0")}));
    EXPECT_EQ(ChangesOf(after, "top.clk"), (std::vector<Seen>{At(20, "0"), At(30, "1")}));
}

TEST_F(Restart, WholeDesignIsDumpedAgain) {
    BuildDesign();
    Scope *other = sim_.AddTopModule("other");
    Signal *o = sim_.AddReg(other, "o");
    DumpTo(top_, "w.restore.trax");
    Run(top_, "$traxDumpvars");
    sim_.SetValue(o, "1");
    sim_.EndStep();
    SaveAndRestart();
    sim_.AdvanceTo(30);
    sim_.SetValue(o, "0");
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("w.restore.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.bus[3:0]", "top.clk", "top.u.x", "other.o"}))
        << "a restore name is kept as it is";
    EXPECT_EQ(ChangesOf(file, "other.o"), (std::vector<Seen>{At(20, "1"), At(30, "0")}));
}

TEST_F(Restart, DumpingOffStaysOff) {
    BuildDesign();
    DumpTo(top_, "off.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.AdvanceTo(5);
    Run(top_, "$traxDumpoff");
    SaveAndRestart();
    sim_.AdvanceTo(30);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(40);
    Run(top_, "$traxDumpon");
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("off.restore.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(40, "1")}));
}

TEST_F(Restart, WithoutASaveTheFileIsClosedForGood) {
    BuildDesign();
    DumpTo(top_, "nosave.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.AdvanceTo(10);
    sim_.StartOfRestart();
    sim_.Restart();
    EXPECT_TRUE(pli::g_dumper.files.empty());
    EXPECT_FALSE(std::filesystem::exists(Path("nosave.restore.trax")));
    Reading file(Path("nosave.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().file_status, 0);
}

}  // namespace
}  // namespace tavri::test

namespace tavri::test {
namespace {

// The prompt reads the answer from standard input; a test gives it a file.
void AnswerAndPrompt(const std::string &answer_file, int error_number) {
    if (std::freopen(answer_file.c_str(), "r", stdin) == nullptr) std::_Exit(9);
    pli::WriteErrorPrompt(error_number);
    std::_Exit(3);  // the prompt returned: the writer retries
}

class WriteErrorPrompt : public DumpFile {};

TEST_F(WriteErrorPrompt, YesGoesOn) {
    const std::string answer = Path("yes.txt");
    { std::ofstream(answer) << "yes\n"; }
    EXPECT_EXIT(AnswerAndPrompt(answer, 5), ::testing::ExitedWithCode(3), "");
}

TEST_F(WriteErrorPrompt, NoEndsTheProcess) {
    const std::string answer = Path("no.txt");
    { std::ofstream(answer) << "no\n"; }
    EXPECT_EXIT(AnswerAndPrompt(answer, 28), ::testing::ExitedWithCode(255), "");
}

TEST_F(WriteErrorPrompt, NoAnswerEndsTheProcess) {
    const std::string answer = Path("empty.txt");
    { std::ofstream(answer) << ""; }
    EXPECT_EXIT(AnswerAndPrompt(answer, 5), ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace tavri::test
