// Interactive mode under a debugger: $traxInteractive and the ways into the
// mode, the numbered notices on the transcript, the flush at every stop,
// reset and end of reset, and the tasks refused meanwhile.
#include <tcl.h>

#include "frontend_fixture.h"
#include "platform/host_info.h"

namespace tavri::test {
namespace {

constexpr const char kMarker[] = "\nHalvern Prompt\n";

class Interactive : public FrontEndTest {
  protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        top_ = sim_.AddTopModule("top");
        clk_ = sim_.AddReg(top_, "clk");
        cpu_ = sim_.AddModule(top_, "cpu");
        pc_ = sim_.AddReg(cpu_, "pc", 3, 0);
        flag_ = sim_.AddReg(cpu_, "flag");
        alu_ = sim_.AddModule(cpu_, "alu");
        carry_ = sim_.AddReg(alu_, "carry");
    }

    // The debugger's way in: +traxfile+ naming a dump_i.trax file.
    void UnderTheDebugger() { sim_.AddPlusArg("+traxfile+" + Path("dump_i.trax")); }

    // The text of each notice, in order; every marker is followed by its
    // notice as a message of its own.
    std::vector<std::string> Notices() const {
        std::vector<std::string> notices;
        const std::vector<ModelSim::Message> &messages = sim_.Transcript();
        for (size_t i = 0; i < messages.size(); ++i) {
            if (messages[i].channel == ModelSim::Channel::kMessage && messages[i].text == kMarker) {
                EXPECT_LT(i + 1, messages.size());
                if (i + 1 < messages.size()) {
                    EXPECT_EQ(messages[i + 1].channel, ModelSim::Channel::kMessage);
                    notices.push_back(messages[i + 1].text);
                }
            }
        }
        return notices;
    }

    static std::string Pid() { return std::to_string(platform::ProcessId()); }

    Scope *top_ = nullptr;
    Signal *clk_ = nullptr;
    Scope *cpu_ = nullptr;
    Signal *pc_ = nullptr;
    Signal *flag_ = nullptr;
    Scope *alu_ = nullptr;
    Signal *carry_ = nullptr;
};

TEST_F(Interactive, ASessionTellsTheDebuggerEachStepInOrder) {
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    EXPECT_TRUE(pli::g_dumper.interactive);
    EXPECT_TRUE(Printed("MTI_RESOLUTION_REPORT -9 \n"));
    Run(top_, "$traxDumpvars(1, top.cpu)");
    sim_.AdvanceTo(10);
    sim_.SetValue(pc_, "0011");
    sim_.Interactive();
    sim_.AdvanceTo(25);
    sim_.SetValue(flag_, "1");
    sim_.Finish();

    const std::string file = Path("dump_i.trax");
    const std::vector<std::string> expected = {
        "25\n4300\n", "31\n" + Pid() + "\n", "33\n1\n",  // options start-up
        "25\n4300\n", "31\n" + Pid() + "\n",             // file creation
        "3\n" + file + "\n",                             // the file exists
        "6\n0\n0\n",                                     // interactive start
        "32\n", "23\n1\ntop.cpu\n",                      // $traxDumpvars
        "6\n0\n10\n",                                    // the stop
        "6\n0\n25\n", "1\n",                             // the finish
    };
    EXPECT_EQ(Notices(), expected);
    Reading file_read(file);
    ASSERT_EQ(file_read.status, TRAXR_OK) << file_read.message;
    EXPECT_EQ(ChangesOf(file_read, "top.cpu.pc[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(10, "0011")}));
    EXPECT_EQ(ChangesOf(file_read, "top.cpu.flag"), (std::vector<Seen>{At(0, "x"), At(25, "1")}));
    EXPECT_TRUE(AllNames(file_read).size() == 2u) << "level 1 leaves top.cpu.alu out";
}

TEST_F(Interactive, WholeDesignDumpEndsWithTheEndOfScopesNotice) {
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    sim_.ClearTranscript();
    Run(top_, "$traxDumpvars");
    EXPECT_EQ(Notices(), (std::vector<std::string>{"23\n0\ntop\n", "32\n", "24\n"}));
}

TEST_F(Interactive, EachStopFlushesSoThatAReaderSeesEveryValueUpToTheStop) {
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    Run(top_, "$traxDumpvars(0, top.cpu)");
    sim_.AdvanceTo(10);
    sim_.SetValue(pc_, "0001");
    sim_.AdvanceTo(20);
    sim_.SetValue(pc_, "0010");
    sim_.SetValue(carry_, "1");
    sim_.Interactive();  // stopped at 20, with the step's changes made

    Reading live(Path("dump_i.trax"));
    ASSERT_EQ(live.status, TRAXR_OK) << live.message;
    ASSERT_EQ(traxr_IsLive(live.reader), 1);
    EXPECT_EQ(ChangesOf(live, "top.cpu.pc[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(10, "0001"), At(20, "0010")}));
    EXPECT_EQ(ChangesOf(live, "top.cpu.alu.carry"), (std::vector<Seen>{At(0, "x"), At(20, "1")}));
    uint64_t end = 0;
    ASSERT_EQ(traxr_VisibleEndTime(live.reader, &end), 1);
    EXPECT_EQ(end, 20u) << "the reader shows the file up to the stop";
}

TEST_F(Interactive, ScopesAddedAtAStopAreReadableAtOnceAndAFlushWhileRunningHidesItsStep) {
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    Run(top_, "$traxDumpvars(1, top.cpu)");
    sim_.AdvanceTo(10);
    sim_.SetValue(carry_, "1");
    sim_.Interactive();
    sim_.ClearTranscript();
    EXPECT_EQ(sim_.EvalTcl("traxDumpvars 0 top/cpu/alu").code, TCL_OK);
    EXPECT_EQ(Notices(), (std::vector<std::string>{"32\n", "23\n0\ntop.cpu.alu\n"}));
    {
        Reading live(Path("dump_i.trax"));
        ASSERT_EQ(live.status, TRAXR_OK) << live.message;
        EXPECT_EQ(ChangesOf(live, "top.cpu.alu.carry"), std::vector<Seen>{At(10, "1")});
    }
    sim_.AdvanceTo(15);
    sim_.SetValue(carry_, "0");
    Run(top_, "$traxDumpflush");  // the step at 15 may go on
    Reading live(Path("dump_i.trax"));
    ASSERT_EQ(live.status, TRAXR_OK) << live.message;
    EXPECT_EQ(ChangesOf(live, "top.cpu.alu.carry"), std::vector<Seen>{At(10, "1")});
    uint64_t hidden = 0;
    ASSERT_EQ(traxr_HiddenFrom(live.reader, &hidden), 1);
    EXPECT_EQ(hidden, 15u);
}

TEST_F(Interactive, TheThrottleSendsAtMostOneTimeNoticePerHundredTimeTags) {
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    Run(top_, "$traxDumpvars(0, top.cpu)");
    sim_.ClearTranscript();
    uint64_t now = 0;
    bool high = false;
    // One change, so one time tag, at each of the next `count` times.
    auto tick = [&](int count) {
        for (int i = 0; i < count; ++i) {
            sim_.AdvanceTo(++now);
            high = !high;
            sim_.SetValue(flag_, high ? "1" : "0");
        }
    };
    tick(98);  // with the file's first time tag at 0, 99 of them
    EXPECT_TRUE(Notices().empty());
    tick(1);
    EXPECT_EQ(Notices(), std::vector<std::string>{"6\n0\n99\n"});
    tick(100);  // the next hundred, within 3 seconds
    EXPECT_EQ(Notices().size(), 1u);
    pli::g_dumper.notice_second -= 4;  // as if 4 seconds had passed
    tick(100);
    EXPECT_EQ(Notices(), (std::vector<std::string>{"6\n0\n99\n", "6\n0\n299\n"}));
    sim_.Interactive();  // a stop tells the time regardless
    EXPECT_EQ(Notices(), (std::vector<std::string>{"6\n0\n99\n", "6\n0\n299\n", "6\n0\n299\n"}));
}

TEST_F(Interactive, ResetClosesTheFileAndItsEndOpensANewOneAtTimeZero) {
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    Run(top_, "$traxDumpvars(0, top.cpu)");
    sim_.AdvanceTo(40);
    sim_.SetValue(pc_, "0100");
    sim_.ClearTranscript();
    sim_.Reset();
    EXPECT_TRUE(pli::g_dumper.files.empty());
    EXPECT_TRUE(pli::g_dumper.hooks.empty());
    EXPECT_EQ(pli::g_dumper.mode, pli::DumpMode::kNone);
    {
        Reading closed(Path("dump_i.trax"));
        ASSERT_EQ(closed.status, TRAXR_OK) << closed.message;
        EXPECT_EQ(traxr_IsLive(closed.reader), 0);
        EXPECT_EQ(ChangesOf(closed, "top.cpu.pc[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(40, "0100")}));
    }
    sim_.EndOfReset();
    const std::string file = Path("dump_i.trax");
    EXPECT_EQ(Notices(), (std::vector<std::string>{"2\n", "6\n0\n0\n", "2\n", "25\n4300\n", "31\n" + Pid() + "\n",
                                                   "3\n" + file + "\n"}));
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_EQ(pli::g_dumper.files.front().name, file) << "the closed name is free again after a reset";
    EXPECT_EQ(pli::g_dumper.mode, pli::DumpMode::kNone);

    // The new run dumps into the new file from time 0.
    Run(top_, "$traxDumpvars(0, top.cpu)");
    sim_.AdvanceTo(5);
    sim_.SetValue(pc_, "1000");
    Reading *again = FinishAndRead("dump_i.trax");
    EXPECT_EQ(ChangesOf(*again, "top.cpu.pc[3:0]"), (std::vector<Seen>{At(0, "0100"), At(5, "1000")}));
}

TEST_F(Interactive, WithoutADebuggerFileTheTaskOnlyLendsItsContext) {
    sim_.AddPlusArg("+traxfile+" + Path("plain.trax"));
    Run(top_, "$traxInteractive");
    EXPECT_FALSE(pli::g_dumper.interactive);
    EXPECT_TRUE(pli::g_dumper.interactive_task_present);
    EXPECT_TRUE(Notices().empty());
    EXPECT_TRUE(Printed("MTI_RESOLUTION_REPORT -9 \n"));
    Run(top_, "$traxDumpvars(0, top.cpu)");
    sim_.AdvanceTo(3);
    sim_.SetValue(pc_, "0111");
    sim_.Interactive();
    EXPECT_TRUE(Notices().empty());
    // Its misctf is the shared one: the finish closes the file.
    Reading *file = FinishAndRead("plain.trax");
    EXPECT_EQ(traxr_IsLive(file->reader), 0);
    EXPECT_EQ(ChangesOf(*file, "top.cpu.pc[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(3, "0111")}));
}

TEST_F(Interactive, TheStartRunsOnceAndALaterCallOnlyEntersTheMode) {
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    sim_.ClearTranscript();
    Run(cpu_, "$traxInteractive");
    EXPECT_TRUE(Notices().empty());
    EXPECT_FALSE(Printed("MTI_RESOLUTION_REPORT"));
    EXPECT_EQ(pli::g_dumper.sync_instance, sim_.TaskCalls().back()->instance());
}

TEST_F(Interactive, CommFileMakesTheDefaultNameTheInteractiveOne) {
    const ScopedWorkingDirectory here(dir_);
    sim_.AddPlusArg("+COMM_FILE");
    Run(top_, "$traxDumpvars(0, top.cpu)");
    EXPECT_TRUE(pli::g_dumper.interactive);
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_EQ(pli::g_dumper.files.front().name, "verilog_i.trax");
    EXPECT_TRUE(Printed(kMarker + std::string("3\nverilog_i.trax\n")));
}

TEST_F(Interactive, NoNoticeInScopeFileMode) {
    sim_.AddPlusArg("+COMM_FILE");
    const std::string scopes = Path("cpu.sc");
    std::FILE *out = std::fopen(scopes.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("top.cpu\n", out);
    std::fclose(out);
    Run(top_, "$traxDumpvarsToFile(\"" + scopes + "\", \"" + Path("own.trax") + "\")");
    EXPECT_TRUE(pli::g_dumper.interactive);
    EXPECT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_TRUE(Notices().empty());
}

// In interactive mode these tasks and commands are refused with their
// message and leave the open file as it is.
struct Refusal {
    const char *name;
    bool tcl;
    const char *call;  // Verilog source of the task, or the Tcl command
    const char *message;
};

void PrintTo(const Refusal &refusal, std::ostream *out) { *out << refusal.call; }

class InteractiveRefusal : public Interactive, public ::testing::WithParamInterface<Refusal> {};

TEST_P(InteractiveRefusal, IsRefusedWithItsMessage) {
    const Refusal &refusal = GetParam();
    UnderTheDebugger();
    Run(top_, "$traxInteractive");
    Run(top_, "$traxDumpvars(0, top.cpu)");
    sim_.ClearTranscript();
    if (refusal.tcl) {
        EXPECT_EQ(sim_.EvalTcl(refusal.call).code, TCL_OK);
    } else {
        Run(top_, refusal.call);
    }
    EXPECT_TRUE(Printed(refusal.message)) << sim_.TranscriptText();
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_EQ(pli::g_dumper.files.front().name, Path("dump_i.trax"));
    EXPECT_FALSE(pli::g_dumper.series.active);
    EXPECT_EQ(pli::g_dumper.substitution.replace_level, -1);
    EXPECT_FALSE(pli::g_dumper.dump_limit_set);
    EXPECT_TRUE(Notices().empty());
}

INSTANTIATE_TEST_SUITE_P(
    TasksAndCommands, InteractiveRefusal,
    ::testing::Values(
        Refusal{"SwitchDumpfile", false, "$traxSwitchDumpfile(\"other.trax\")",
                "WARNING: $traxSwitchDumpfile is disabled during the Halvern/Onyxa interactive mode.\n"},
        Refusal{"AutoSwitchDumpfile", false, "$traxAutoSwitchDumpfile(10, \"run\", 3)",
                "WARNING: $traxAutoSwitchDumpfile is disabled during the Halvern/Onyxa interactive mode.\n"},
        Refusal{"Dumplimit", false, "$traxDumplimit(100)",
                "*Tavri* Warning: Please do not call $traxDumplimit during Halvern/Onyxa interactive mode.\n"},
        Refusal{"DumpFinish", false, "$traxDumpFinish",
                "*Tavri* Warning: $traxDumpFinish - Nonfunctional in the Halvern/Onyxa interactive mode.\n"},
        Refusal{"SubstituteHier", false, "$traxSubstituteHier(\"chip.core\", 1)",
                "*Tavri* Warning: traxSubstituteHier is disabled during the Halvern/Onyxa interactive mode.\n"},
        Refusal{"TclSwitchDumpfile", true, "traxSwitchDumpfile other.trax",
                "*Tavri* Warning: traxSwitchDumpfile is disabled during the Halvern interactive mode.\n"},
        Refusal{"TclAutoSwitchDumpfile", true, "traxAutoSwitchDumpfile 10 run 3",
                "*Tavri* Warning: traxAutoSwitchDumpfile is disabled during the Halvern interactive mode.\n"},
        Refusal{"TclSubstituteHier", true, "traxSubstituteHier chip.core 1",
                "*Tavri* Warning: traxSubstituteHier is disabled during the Halvern interactive mode.\n"}),
    [](const ::testing::TestParamInfo<Refusal> &param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tavri::test
