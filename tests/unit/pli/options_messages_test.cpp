// Options from the environment and plus-arguments, the message printers and
// their switches and suppression texts (the writer's messages included), the
// status report, flushing options and the simulator version number.
#include <fstream>

#include "frontend_fixture.h"
#include "pli/options.h"

namespace tavri::test {
namespace {

class Options : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        clk_ = sim_.AddReg(top_, "clk");
        bus_ = sim_.AddNet(top_, "bus", 3, 0);
    }

    // A run that prints one message of every kind: front-end info lines
    // (creation, start and end of dumping), a front-end warning
    // (TRAX_DUMP_LEVEL), a writer warning (the dump limit it refuses: its
    // redundant list cannot be made where a directory takes the name) and a
    // simulator warning (a second $traxDumpfile).
    void RunWithEveryKindOfMessage() {
        ScopedEnv level("TRAX_DUMP_LEVEL", "7");
        BuildDesign();
        Run(top_, "$traxDumplimit(10)");
        std::filesystem::create_directory(Path("msg.trax.rlist"));
        DumpTo(top_, "msg.trax");
        Run(top_, "$traxDumpvars(1, top)");
        DumpTo(top_, "again.trax");
        sim_.Finish();
    }

    // Transcript lines (of the message channels) that carry the dumper's prefix.
    std::vector<std::string> DumperLines() const {
        std::vector<std::string> lines;
        for (const ModelSim::Message &message : sim_.Transcript()) {
            if (message.text.rfind("*Tavri* ", 0) == 0) lines.push_back(message.text);
        }
        return lines;
    }

    static constexpr const char *kInfo = "*Tavri* Start dumping the scope(top), layer(1).\n";
    static constexpr const char *kCreate = "*Tavri* Create TRAX file '";
    static constexpr const char *kWarning = "*Tavri* Warning: TRAX_DUMP_LEVEL only provide to level 4\n";
    static constexpr const char *kWriterWarning = "*Tavri* TRAX WARN: Dump limit is not turned on\n";
    static constexpr const char *kSimulatorWarning =
        "WARNING: $traxDumpfile - One TRAX file has already opened for dumping.\n";

    Scope *top_ = nullptr;
    Signal *clk_ = nullptr;
    Signal *bus_ = nullptr;
};

TEST_F(Options, EveryMessageByDefault) {
    RunWithEveryKindOfMessage();
    for (const char *text : {kInfo, kCreate, kWarning, kWriterWarning, kSimulatorWarning}) {
        EXPECT_TRUE(Printed(text)) << text << "\n" << sim_.TranscriptText();
    }
}

TEST_F(Options, NoWarningCountsItsValue) {
    ScopedEnv no_warning("TRAX_NO_WARNING", "0");
    RunWithEveryKindOfMessage();
    EXPECT_TRUE(Printed(kWarning)) << sim_.TranscriptText();
    EXPECT_TRUE(Printed(kWriterWarning));
}

TEST_F(Options, NoWarningDropsTheWarningsOfTheDumperAndTheWriter) {
    ScopedEnv no_warning("TRAX_NO_WARNING", "1");
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed(kWarning)) << sim_.TranscriptText();
    EXPECT_FALSE(Printed(kWriterWarning));
    EXPECT_TRUE(Printed(kInfo));
    EXPECT_TRUE(Printed(kSimulatorWarning)) << "the simulator's own warnings are not the dumper's";
}

TEST_F(Options, NoWarningPlusArgument) {
    sim_.AddPlusArg("+trax_no_warning");
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed(kWarning)) << sim_.TranscriptText();
    EXPECT_FALSE(Printed(kWriterWarning));
    EXPECT_TRUE(Printed(kInfo));
}

// $traxDumplimit before the first file prints its line before the options
// are read (they are read when the first file is created).
const std::vector<std::string> kBeforeTheOptions = {"*Tavri* Set the limit of TRAX file size to 10MB.\n"};

TEST_F(Options, NoAllMessagesSilencesTheDumperAndTheWriterButNotTheSimulator) {
    ScopedEnv no_all("TRAX_NO_ALL_MSG", "1");
    RunWithEveryKindOfMessage();
    EXPECT_EQ(DumperLines(), kBeforeTheOptions) << sim_.TranscriptText();
    EXPECT_TRUE(Printed(kSimulatorWarning));
    Reading file(Path("msg.trax"));
    EXPECT_EQ(file.status, TRAXR_OK) << "the dump itself goes on";
}

TEST_F(Options, NoAllMessagesPlusArgument) {
    sim_.AddPlusArg("+trax_no_all_msg");
    RunWithEveryKindOfMessage();
    EXPECT_EQ(DumperLines(), kBeforeTheOptions) << sim_.TranscriptText();
}

class ErrorMessages : public Options {
  protected:
    // A file in a directory that does not exist cannot be created.
    void FailToCreate() {
        BuildDesign();
        Run(top_, "$traxDumpfile(\"" + Path("missing/dir/x.trax") + "\")");
        EXPECT_TRUE(pli::g_dumper.files.empty());
    }
    std::string failure() const { return "*Tavri* Error: Failed to create TRAX file: " + Path("missing/dir/x.trax"); }
};

TEST_F(ErrorMessages, FailedCreationIsReported) {
    FailToCreate();
    EXPECT_TRUE(Printed(failure())) << sim_.TranscriptText();
}

TEST_F(ErrorMessages, NoErrorDropsErrorsOnly) {
    ScopedEnv no_error("TRAX_NO_ERROR", "1");
    FailToCreate();
    EXPECT_FALSE(Printed(failure())) << sim_.TranscriptText();
    EXPECT_FALSE(Printed("TRAX ERR")) << sim_.TranscriptText();
}

TEST_F(ErrorMessages, NoErrorPlusArgument) {
    sim_.AddPlusArg("+trax_no_error");
    FailToCreate();
    EXPECT_FALSE(Printed(failure())) << sim_.TranscriptText();
}

TEST_F(Options, SuppressionTextDropsTheLinesThatContainIt) {
    ScopedEnv no_msg("TRAX_NO_MSG", "Create TRAX");
    BuildDesign();
    DumpTo(top_, "quiet.trax");
    Run(top_, "$traxDumpvars(1, top)");
    EXPECT_FALSE(Printed("Create TRAX file")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed(kInfo));
    EXPECT_TRUE(Printed("*Tavri* End of dumping.\n"));
}

TEST_F(Options, SuppressionListSplitAtColonsAndNewlines) {
    ScopedEnv no_msg("TRAX_NO_MSG", "Create TRAX:End of\nTRAX WARN");
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed("Create TRAX file")) << sim_.TranscriptText();
    EXPECT_FALSE(Printed("End of dumping"));
    EXPECT_FALSE(Printed("TRAX WARN")) << "the writer's lines too";
    EXPECT_TRUE(Printed(kInfo));
    EXPECT_TRUE(Printed(kWarning));
}

TEST_F(Options, SuppressionTextMatchesThePrefixToo) {
    ScopedEnv no_msg("TRAX_NO_MSG", "*Tavri* Warn");
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed(kWarning)) << sim_.TranscriptText();
    EXPECT_TRUE(Printed(kWriterWarning));
    EXPECT_TRUE(Printed(kInfo));
}

TEST_F(Options, SuppressionPlusArgumentSplitAtPluses) {
    sim_.AddPlusArg("+trax_no_msg+Start dumping+End of dumping");
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed("Start dumping")) << sim_.TranscriptText();
    EXPECT_FALSE(Printed("End of dumping"));
    EXPECT_TRUE(Printed(kCreate));
}

TEST_F(Options, SuppressionFileOneTextALine) {
    const std::string list = Path("quiet.txt");
    { std::ofstream(list) << "Create TRAX  \t\r\n\n   \t\nTRAX WARN\n"; }
    ScopedEnv in_file("TRAX_NO_MSG_IN_FILE", list.c_str());
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed("Create TRAX file")) << sim_.TranscriptText();
    EXPECT_FALSE(Printed("TRAX WARN"));
    EXPECT_TRUE(Printed(kInfo)) << "blank lines suppress nothing";
    EXPECT_TRUE(Printed(kWarning));
}

TEST_F(Options, SuppressionFilePlusArgument) {
    const std::string list = Path("quiet.txt");
    { std::ofstream(list) << "End of dumping"; }  // no newline at the end
    sim_.AddPlusArg("+trax_no_msg_in_file+" + list);
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed("End of dumping")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed(kInfo));
}

TEST_F(Options, UnreadableSuppressionFileIsIgnored) {
    ScopedEnv in_file("TRAX_NO_MSG_IN_FILE", Path("no such file").c_str());
    RunWithEveryKindOfMessage();
    for (const char *text : {kInfo, kCreate, kWarning, kWriterWarning}) {
        EXPECT_TRUE(Printed(text)) << text << "\n" << sim_.TranscriptText();
    }
}

TEST_F(Options, LinesBeforeTheMessageSwitchesAreNeverSuppressed) {
    ScopedEnv no_msg("TRAX_NO_MSG", "bus compression");
    ScopedEnv no_bus("TRAX_NO_BUS_COMPRESS", "1");
    ScopedEnv do_not_write("TRAX_DO_NOT_WRITE", "0");
    ScopedEnv no_all("TRAX_NO_ALL_MSG", "1");
    BuildDesign();
    DumpTo(top_, "early.trax");
    EXPECT_TRUE(Printed("*Tavri* Disable the bus compression.\n")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Warning: Do not dump value change\n"));
    EXPECT_FALSE(Printed(kCreate)) << "read after the switches";
}

TEST_F(Options, OptionsFromSeparatePlusArgumentsWithTheSamePrefix) {
    // Several plus-arguments begin with +trax and +dump: each option counts
    // wherever it stands on the command line.
    sim_.AddPlusArg("+trax_sequential");
    sim_.AddPlusArg("+trax+reserve");
    sim_.AddPlusArg("+dump+parameter");
    sim_.AddPlusArg("+dump+strength");
    BuildDesign();
    sim_.AddIntParam(top_, "P", 3);
    Signal *w = sim_.AddNet(top_, "w");
    ScopedWorkingDirectory in_scratch(dir_);
    { std::ofstream(dir_ / "verilog.trax") << "an earlier run"; }
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(w, "1");
    sim_.EndStep();
    sim_.Finish();
    std::ifstream earlier(dir_ / "verilog.trax");
    std::string kept;
    std::getline(earlier, kept);
    EXPECT_EQ(kept, "an earlier run") << "reserve mode keeps the existing file";
    Reading file(Path("verilog_000.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().has_sequence_number, 1);
    EXPECT_NE(IdcodeOf(file, "top.P"), 0u) << "parameters are dumped";
    EXPECT_EQ(RawChangesOf(file, "top.w"), (std::vector<RawSeen>{{0, {217}}})) << "strengths are dumped";
}

TEST_F(Options, StatusReportOnceArmedAfterEveryFileCreation) {
    ScopedEnv debug("TRAX_DEBUG", "0");
    ScopedEnv skip("SKIP_CELL_INSTANCE", "");
    ScopedEnv same("TRAX_SAME_NET", nullptr);
    sim_.AddPlusArg("+dump+parameter+strength");
    sim_.AddPlusArg("+trax_max_glitch+4");
    sim_.AddPlusArg("+trax_no_functions");
    sim_.AddPlusArg("+trax+compression+zstd:4");
    BuildDesign();
    DumpTo(top_, "report.trax");
    EXPECT_FALSE(Printed("Internal Status Report")) << "not armed yet";
    sim_.ClearTranscript();
    pli::StatusReport(true);
    EXPECT_EQ(sim_.TranscriptText(),
              "Tavri TRAX Dumper for ModelSim, Release 5.4v9 (Win95/NT) 05/04/2005\n"
              "*Tavri* Internal Status Report\n"
              "*Tavri* ==============================================\n"
              "*Tavri* Simulator product  : Model Simulator Version 6.2a\n"
              "*Tavri* TRAX_DEBUG         : on\n"
              "*Tavri* SKIP_CELL_INSTANCE : on\n"
              "*Tavri* TRAX_SAME_NET      : off\n"
              "*Tavri* No_Functions       : on\n"
              "*Tavri* Dump parameter     : on\n"
              "*Tavri* Dump strength      : on\n"
              "*Tavri* Reserve TRAX file  : off\n"
              "*Tavri* Dump sequential num: off\n"
              "*Tavri* Dump glitch signal : User max=4    TRAX set=on\n"
              "*Tavri* Block compression  : zstd:4\n"
              "*Tavri* Trace mode         : 0\n"
              "*Tavri* ==============================================\n");
    Run(top_, "$traxDumpvars(1, top)");
    Run(top_, "$traxDumpFinish");
    sim_.ClearTranscript();
    DumpTo(top_, "next.trax");
    EXPECT_EQ(CountPrinted("*Tavri* Internal Status Report\n"), 1) << sim_.TranscriptText();
    const std::string text = sim_.TranscriptText();
    EXPECT_LT(text.find(kCreate), text.find("Internal Status Report")) << "at the end of the creation";
}

TEST_F(Options, StatusReportDefaults) {
    BuildDesign();
    DumpTo(top_, "defaults.trax");
    sim_.ClearTranscript();
    pli::StatusReport(true);
    for (const char *line : {"*Tavri* TRAX_DEBUG         : off\n", "*Tavri* Dump parameter     : off\n",
                             "*Tavri* Dump strength      : off\n",
                             "*Tavri* Dump glitch signal : User max=0    TRAX set=off\n"}) {
        EXPECT_TRUE(Printed(line)) << line << sim_.TranscriptText();
    }
}

class Flushing : public Options {
  protected:
    // Whether the change of `bus` at 10 was flushed into the live file: its
    // vc chain reaches 10. After a flush while the simulation runs, readers
    // hold step 10 back as the live file's last, possibly incomplete, step;
    // a flush at a stop marks the file complete up to the stop, and they
    // show it.
    bool LiveFileHoldsTheChange(bool flushed_at_a_stop) {
        Reading live(Path("live.trax"));
        if (live.status != TRAXR_OK) return false;
        const uint32_t id = IdcodeOf(live, "top.bus[3:0]");
        traxrChainEntry *entries = nullptr;
        uint32_t count = 0;
        if (id == 0 || traxr_ReadChainEntries(live.reader, id, &entries, &count) != TRAXR_OK) {
            return false;
        }
        const bool flushed = count > 0 && entries[count - 1].last_time == 10;
        traxr_FreeChainEntries(entries);
        uint64_t hidden = 0;
        return flushed && traxr_HiddenFrom(live.reader, &hidden) == 1 && hidden == (flushed_at_a_stop ? 11u : 10u) &&
               ChangesOf(live, "top.bus[3:0]").size() == (flushed_at_a_stop ? 2u : 1u);
    }
    void ChangeAt10() {
        BuildDesign();
        DumpTo(top_, "live.trax");
        Run(top_, "$traxDumpvars(1, top)");
        sim_.EndStep();
        sim_.AdvanceTo(10);
        sim_.SetValue(bus_, "0101");  // still pending at the stop
    }
};

TEST_F(Flushing, AutoflushWhenTheSimulationStops) {
    sim_.AddPlusArg("+trax_autoflush");
    ChangeAt10();
    EXPECT_TRUE(Printed("*Tavri* Enable the automatic flush when the simulation stops.\n")) << sim_.TranscriptText();
    EXPECT_FALSE(LiveFileHoldsTheChange(true));
    sim_.Interactive();
    EXPECT_TRUE(LiveFileHoldsTheChange(true));
    sim_.Finish();
}

TEST_F(Flushing, NoFlushAtAStopWithoutAutoflush) {
    ChangeAt10();
    sim_.Interactive();
    EXPECT_FALSE(LiveFileHoldsTheChange(true));
    sim_.Finish();
}

TEST_F(Flushing, DumpflushTask) {
    ChangeAt10();
    Run(top_, "$traxDumpflush");
    EXPECT_TRUE(LiveFileHoldsTheChange(false));
    sim_.Finish();
}

TEST_F(Options, ForcedCallbackDeleteAtFinish) {
    sim_.AddPlusArg("+trax_force_delcb");
    BuildDesign();
    DumpTo(top_, "del.trax");
    EXPECT_TRUE(Printed("*Tavri* Force PLI to delete callback at finish time.\n")) << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(1, top)");
    EXPECT_FALSE(pli::g_dumper.hooks.empty());
    sim_.Finish();
    EXPECT_TRUE(pli::g_dumper.hooks.empty());
    EXPECT_FALSE(pli::g_dumper.current_file_name.has_value());
    EXPECT_TRUE(sim_.Diagnostics().empty()) << sim_.Diagnostics().front();
}

TEST(SimulatorVersionNumber, FromTheProductText) {
    struct Case {
        const char *text;
        uint32_t number;
    };
    for (const Case &c : {Case{"Model Simulator Version 5.7d", 0x57004}, Case{"ModelSim SE Version 6.2a", 0x62001},
                          Case{"Version 10.1c", 0x101003}, Case{"Version 5.12", 0x51200},
                          Case{"Version 5.1234b", 0x51232}, Case{"Version 5.7z", 0x5700F},
                          Case{"Version 6", 0x60000}, Case{"Version 5.7 d", 0x57000},
                          Case{"Version5.7d", 0x57004}, Case{"Version unknown", 0},
                          Case{"Model Simulator 5.7d", 0}, Case{"", 0}}) {
        EXPECT_EQ(pli::SimulatorVersionNumber(c.text), c.number) << c.text;
    }
    EXPECT_EQ(pli::SimulatorVersionNumber(nullptr), 0u);
}

}  // namespace
}  // namespace tavri::test

namespace tavri::test {
namespace {

TEST_F(Options, EmptyPiecesOfTheSuppressionListSuppressNothing) {
    ScopedEnv no_msg("TRAX_NO_MSG", "::Create TRAX::\n");
    RunWithEveryKindOfMessage();
    EXPECT_FALSE(Printed("Create TRAX file")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed(kInfo));
    EXPECT_TRUE(Printed(kWarning));
    EXPECT_TRUE(Printed(kWriterWarning));
}

TEST_F(Options, OverlongMessageIsCutToTheLineBuffer) {
    BuildDesign();
    DumpTo(top_, "long.trax");
    const std::string name(3000, 'q');
    Run(top_, "$traxDumpvars(1, \"" + name + "\")");
    const std::string start = "*Tavri* Warning: Cannot find the instance(qqq";
    bool found = false;
    for (const ModelSim::Message &message : sim_.Transcript()) {
        if (message.text.rfind(start, 0) == 0) {
            found = true;
            EXPECT_EQ(message.text.size(), 1023u);
            EXPECT_EQ(message.text.find_first_not_of('q', std::string("*Tavri* Warning: Cannot find the instance(").size()),
                      std::string::npos);
        }
    }
    EXPECT_TRUE(found) << sim_.TranscriptText().substr(0, 2000);
}

}  // namespace
}  // namespace tavri::test
