// The Tcl commands, evaluated by the model simulator's Tcl interpreter: a
// session driven from the prompt, the word rules, the task-context advice,
// and malformed commands, which give their message and change nothing.
#include <tcl.h>

#include <cstdio>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

class TclCommands : public FrontEndTest {
  protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        top_ = sim_.AddTopModule("top");
        cpu_ = sim_.AddModule(top_, "cpu");
        pc_ = sim_.AddReg(cpu_, "pc", 3, 0);
        flag_ = sim_.AddReg(cpu_, "flag");
        alu_ = sim_.AddModule(cpu_, "alu");
        carry_ = sim_.AddReg(alu_, "carry");
        mem_ = sim_.AddModule(top_, "mem");
        q_ = sim_.AddReg(mem_, "q", 7, 0);
        sim_.AddReg(mem_, "w", 7, 0);
    }

    // The design holds the module that calls $traxInteractive; the compiler
    // has checked the call, which runs when the simulation starts.
    TaskCall *WithTaskContext() {
        TaskCall *call = sim_.AddTaskCall(top_, "$traxInteractive");
        sim_.RunCheck(call);
        return call;
    }

    // Evaluates a script; the commands never fail towards Tcl.
    void Tcl(const std::string &script) {
        const ModelSim::TclResult result = sim_.EvalTcl(script);
        EXPECT_EQ(result.code, TCL_OK) << script << ": " << result.result;
    }

    // Reads a file of the scratch directory once the run is over.
    std::unique_ptr<Reading> Read(const std::string &name) {
        auto reading = std::make_unique<Reading>(Path(name));
        EXPECT_EQ(reading->status, TRAXR_OK) << reading->message;
        return reading;
    }

    Scope *top_ = nullptr;
    Scope *cpu_ = nullptr;
    Signal *pc_ = nullptr;
    Signal *flag_ = nullptr;
    Scope *alu_ = nullptr;
    Signal *carry_ = nullptr;
    Scope *mem_ = nullptr;
    Signal *q_ = nullptr;
};

TEST_F(TclCommands, AreRegisteredInTheirOrder) {
    EXPECT_EQ(sim_.TclCommandNames(),
              (std::vector<std::string>{"traxDumpfile", "traxDumpvars", "traxDumpSingle", "traxDumpvarsToFile",
                                        "traxDumpflush", "traxDumpoff", "traxDumpon", "traxDumpStrength",
                                        "traxSwitchDumpfile", "traxAutoSwitchDumpfile", "traxDebug", "traxVersion",
                                        "traxDumpFinish", "traxSubstituteHier", "traxInteractive",
                                        "traxDumpPattern"}));
}

TEST_F(TclCommands, AScriptDrivesAWholeSession) {
    TaskCall *interactive = WithTaskContext();
    Tcl("traxDumpfile " + Path("first.trax") + "\ntraxDumpvars 1 top/cpu");
    sim_.RunCall(interactive);  // the simulation starts
    sim_.AdvanceTo(10);
    sim_.SetValue(pc_, "0001");
    sim_.SetValue(flag_, "1");
    sim_.SetValue(carry_, "1");  // below the level asked for
    sim_.AdvanceTo(15);
    Tcl("traxDumpoff");
    sim_.AdvanceTo(20);
    sim_.SetValue(pc_, "0010");  // not recorded
    sim_.AdvanceTo(30);
    Tcl("traxDumpon");
    sim_.AdvanceTo(35);
    sim_.SetValue(pc_, "0011");
    Tcl("traxDumpflush");
    {
        // The flush at the prompt lets a reader see the file up to now.
        Reading live(Path("first.trax"));
        ASSERT_EQ(live.status, TRAXR_OK) << live.message;
        EXPECT_EQ(ChangesOf(live, "top.cpu.pc[3:0]").back(), At(35, "0011"));
    }
    sim_.AdvanceTo(40);
    Tcl("traxSwitchDumpfile " + Path("second.trax"));
    Tcl("traxDumpPattern top 0 mem q*");
    sim_.AdvanceTo(50);
    sim_.SetValue(q_, "00001111");
    sim_.SetValue(pc_, "0100");
    sim_.AdvanceTo(60);
    Tcl("traxDumpFinish");
    EXPECT_TRUE(Printed("*Tavri* Close all TRAX files.\n"));
    EXPECT_TRUE(pli::g_dumper.files.empty());

    std::unique_ptr<Reading> first = Read("first.trax");
    EXPECT_EQ(Sorted(AllNames(*first)), (std::vector<std::string>{"top.cpu.flag", "top.cpu.pc[3:0]"}));
    EXPECT_EQ(ChangesOf(*first, "top.cpu.pc[3:0]"),
              (std::vector<Seen>{At(0, "xxxx"), At(10, "0001"), At(15, "xxxx"), At(30, "0010"), At(35, "0011")}));
    EXPECT_EQ(ChangesOf(*first, "top.cpu.flag"),
              (std::vector<Seen>{At(0, "x"), At(10, "1"), At(15, "x"), At(30, "1")}));
    std::unique_ptr<Reading> second = Read("second.trax");
    EXPECT_EQ(Sorted(AllNames(*second)),
              (std::vector<std::string>{"top.cpu.flag", "top.cpu.pc[3:0]", "top.mem.q[7:0]"}));
    EXPECT_EQ(ChangesOf(*second, "top.cpu.pc[3:0]"), (std::vector<Seen>{At(40, "0011"), At(50, "0100")}));
    EXPECT_EQ(ChangesOf(*second, "top.mem.q[7:0]"), (std::vector<Seen>{At(40, "xxxxxxxx"), At(50, "00001111")}));
    EXPECT_EQ(ChangesOf(*second, "top.cpu.flag"), (std::vector<Seen>{At(40, "1")}));
}

TEST_F(TclCommands, NamesTakeSlashesAndALeadingSlash) {
    WithTaskContext();
    Tcl("traxDumpfile " + Path("names.trax"));
    Tcl("traxDumpvars 0 /top/cpu/alu");
    Tcl("traxDumpSingle top/mem/q");
    sim_.AdvanceTo(5);
    sim_.SetValue(carry_, "0");
    Reading *file = FinishAndRead("names.trax");
    EXPECT_EQ(Sorted(AllNames(*file)), (std::vector<std::string>{"top.cpu.alu.carry", "top.mem.q[7:0]"}));
    EXPECT_EQ(ChangesOf(*file, "top.cpu.alu.carry"), (std::vector<Seen>{At(0, "x"), At(5, "0")}));
}

TEST_F(TclCommands, DumpvarsToFileReadsTheScopeFileInEitherForm) {
    WithTaskContext();
    const std::string scopes = Path("cpu.sc");
    std::FILE *out = std::fopen(scopes.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("# Halvern tView 3.1\n1 top.cpu\n", out);
    std::fclose(out);
    Tcl("traxDumpfile " + Path("one.trax"));
    Tcl("traxDumpvarsToFile " + scopes);
    EXPECT_FALSE(std::filesystem::exists(scopes)) << "the viewer's file is used up";
    Reading *file = FinishAndRead("one.trax");
    EXPECT_EQ(Sorted(AllNames(*file)), (std::vector<std::string>{"top.cpu.flag", "top.cpu.pc[3:0]"}));

    pli::CloseAllDumpFile();
    pli::ResetDumperState();
    pli::g_dumper.interactive_task_present = true;
    out = std::fopen(scopes.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("top.mem\n", out);
    std::fclose(out);
    Tcl("traxDumpvarsToFile " + scopes + " " + Path("own.trax"));
    EXPECT_EQ(pli::g_dumper.mode, pli::DumpMode::kScopeFile);
    Tcl("traxDumpvarsToFile " + Path("missing.sc") + " " + Path("other.trax"));
    EXPECT_EQ(pli::g_dumper.mode, pli::DumpMode::kNone) << "a scope file that cannot be read leaves the mode";
    std::unique_ptr<Reading> own = [&] {
        pli::CloseAllDumpFile();
        return Read("own.trax");
    }();
    EXPECT_EQ(Sorted(AllNames(*own)), (std::vector<std::string>{"top.mem.q[7:0]", "top.mem.w[7:0]"}));
}

TEST_F(TclCommands, AutoSwitchDumpfileStartsASeriesWhenNoFileIsOpen) {
    Tcl("traxAutoSwitchDumpfile 10 " + Path("run") + " 3");
    EXPECT_TRUE(pli::g_dumper.series.active);
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_EQ(pli::g_dumper.files.front().name, Path("run_000.trax"));
    sim_.ClearTranscript();
    Tcl("traxAutoSwitchDumpfile 10 " + Path("again") + " 2");  // a file is open: nothing
    EXPECT_EQ(pli::g_dumper.files.front().name, Path("run_000.trax"));
    EXPECT_TRUE(sim_.Transcript().empty());
    Tcl("traxSwitchDumpfile " + Path("named.trax"));
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSwitchDumpfile is already disabled.\n"));
    EXPECT_EQ(pli::g_dumper.files.front().name, Path("run_000.trax")) << "the series keeps its own names";
}

TEST_F(TclCommands, SubstituteHierMaySetTheSubstitutionAgainUntilVariablesExist) {
    WithTaskContext();
    Tcl("traxSubstituteHier chip.core 1");
    Tcl("traxSubstituteHier soc.chip.core 1");
    EXPECT_EQ(pli::g_dumper.substitution.name, "soc.chip.core");
    sim_.ClearTranscript();
    Tcl("traxSubstituteHier a..b 1");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSubstituteHier: \"a..b\" is an invalid hierarchy scope name.\n"));
    EXPECT_EQ(pli::g_dumper.substitution.name, "soc.chip.core") << "a refused name leaves the one before";
    EXPECT_EQ(pli::g_dumper.substitution.components.size(), 3u);

    Tcl("traxDumpfile " + Path("sub.trax") + "\ntraxDumpvars 0 top/cpu/alu");
    Tcl("traxSubstituteHier x.y 1");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxSubstituteHier is disabled.\n"));
    EXPECT_EQ(pli::g_dumper.substitution.name, "soc.chip.core");
    Reading *file = FinishAndRead("sub.trax");
    EXPECT_EQ(AllNames(*file), std::vector<std::string>{"soc.chip.core.cpu.alu.carry"});
}

TEST_F(TclCommands, InteractiveEntersTheModeAndOpensTheNamedFile) {
    sim_.SetResolutionLimit(-12);
    Tcl("traxInteractive " + Path("debug.trax"));
    EXPECT_TRUE(pli::g_dumper.interactive);
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_EQ(pli::g_dumper.files.front().name, Path("debug.trax"));
    EXPECT_TRUE(Printed("\nHalvern Prompt\n3\n" + Path("debug.trax") + "\n\nHalvern Prompt\n6\n0\n0\n"));
    EXPECT_TRUE(Printed("MTI_RESOLUTION_REPORT -12 \n"));
    sim_.ClearTranscript();
    Tcl("traxInteractive " + Path("other.trax"));  // already interactive: nothing
    EXPECT_TRUE(sim_.Transcript().empty());
    Tcl("traxDumpvars 0 top/mem");  // interactive mode gives the context
    EXPECT_EQ(pli::g_dumper.hooks.size(), 2u);
}

TEST_F(TclCommands, InteractiveTakesOverAFileOpenedBefore) {
    Tcl("traxDumpfile " + Path("before.trax"));
    sim_.AdvanceTo(7);
    sim_.ClearTranscript();
    Tcl("traxInteractive");
    EXPECT_EQ(sim_.TranscriptText(), "\nHalvern Prompt\n6\n0\n7\nMTI_RESOLUTION_REPORT -9 \n");
    Tcl("traxDumpvars 0 top/mem");
    Reading live(Path("before.trax"));
    ASSERT_EQ(live.status, TRAXR_OK) << live.message;
    EXPECT_EQ(live.Header().synchronous_control, 1) << "the debugger reads it under the lock";
    EXPECT_EQ(ChangesOf(live, "top.mem.q[7:0]"), std::vector<Seen>{At(7, "xxxxxxxx")});
}

TEST_F(TclCommands, DebugHandsItsOneWordToTheDebugCommands) {
    Tcl("traxDebug \"-m 2 -p\"");
    EXPECT_EQ(Errors().size(), 0u);
    EXPECT_FALSE(Printed("Syntax error"));
    // The same interpreter as $traxDebug: the mode is set and reported.
    EXPECT_TRUE(Printed("Set debug mode to 2\n")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("     Log mode: 2\n")) << sim_.TranscriptText();
    EXPECT_TRUE(pli::g_trace.debug);
    Tcl("traxDebug -p -m");
    EXPECT_TRUE(Printed("*Tavri* Error: Syntax error - traxDebug command \n"));
}

// Commands that dump need a task context: without the interactive module in
// the design and outside interactive mode they give the advice and do
// nothing; traxDumpfile needs none.
class TaskContext : public TclCommands, public ::testing::WithParamInterface<const char *> {};

TEST_P(TaskContext, IsAdvisedAndNothingIsDumped) {
    Tcl("traxDumpfile " + Path("plain.trax"));
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    sim_.ClearTranscript();
    Tcl(GetParam());
    EXPECT_EQ(sim_.TranscriptText(),
              "*Tavri* Warning: If you want to invoke this TCL command\n"
              "*Tavri* without running the Halvern interactive mode. \n"
              "*Tavri* You have to compile the 'tavri_vlog.v' file into\n"
              "*Tavri* your design library.\n"
              "*Tavri* Run vsim and specify 'tavri_vlog' in design unit list.\n");
    EXPECT_EQ(sim_.CountMessages(ModelSim::Channel::kMessage), 5);
    EXPECT_TRUE(pli::g_dumper.hooks.empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, TaskContext,
                         ::testing::Values("traxDumpvars 0 top", "traxDumpSingle top/mem/q",
                                           "traxDumpvarsToFile scopes.sc", "traxDumpPattern top 0 * *"));

// A malformed command: the transcript it gives, and no change to the dump.
struct Malformed {
    const char *command;
    const char *transcript;
};

void PrintTo(const Malformed &malformed, std::ostream *out) { *out << malformed.command; }

// What a command could change.
struct DumpSnapshot {
    size_t files = 0;
    std::optional<std::string> current_file_name;
    pli::DumpMode mode = pli::DumpMode::kNone;
    bool dumping_on = true;
    size_t hooks = 0;
    bool series = false;
    int replace_level = -1;
    bool interactive = false;
    int strength_mode = 2;
    bool operator==(const DumpSnapshot &) const = default;

    static DumpSnapshot Take() {
        const pli::DumperState &state = pli::g_dumper;
        return {state.files.size(),    state.current_file_name,           state.mode,
                state.dumping_on,      state.hooks.size(),                state.series.active,
                state.substitution.replace_level, state.interactive, state.options.strength_mode};
    }
};

class MalformedCommand : public TclCommands, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedCommand, GivesItsMessageAndChangesNothing) {
    WithTaskContext();
    const DumpSnapshot before = DumpSnapshot::Take();
    Tcl(GetParam().command);
    EXPECT_EQ(sim_.TranscriptText(), GetParam().transcript);
    EXPECT_TRUE(DumpSnapshot::Take() == before);
    EXPECT_TRUE(pli::g_dumper.files.empty());
}

#define SYNTAX_DUMPVARS "*Tavri* Error: Syntax error - traxDumpvars [dump_level [scope_name]]\n"
#define BAD_LEVEL "*Tavri* Error: traxDumpvars - The dump level argument is invalid.\n" SYNTAX_DUMPVARS
#define SYNTAX_PATTERN \
    "*Tavri* Error: Syntax error -$traxDumpPattern([scope],[<level>],[\"Match-Scope\"],[\"Match-Signal\"]);\n"
#define SYNTAX_AUTO "*Tavri* Error: Syntax error - traxAutoSwitchDumpfile filesize filename amount [log_filename]\n"
#define SYNTAX_SUBSTITUTE "ERROR: Syntax error -$traxSubstituteHier(\"module\",replace level);\n"

INSTANTIATE_TEST_SUITE_P(
    Commands, MalformedCommand,
    ::testing::Values(
        Malformed{"traxDumpfile", "*Tavri* Error: Syntax error - traxDumpfile filename\n"},
        Malformed{"traxDumpfile a.trax b.trax", "*Tavri* Error: Syntax error - traxDumpfile filename\n"},
        Malformed{"traxDumpfile {}", "*Tavri* Error: Syntax error - traxDumpfile filename\n"},
        Malformed{"traxDumpvars 1 top extra", SYNTAX_DUMPVARS},
        Malformed{"traxDumpvars +1 top", BAD_LEVEL},
        Malformed{"traxDumpvars 01 top", BAD_LEVEL},
        Malformed{"traxDumpvars -0", BAD_LEVEL},
        Malformed{"traxDumpvars -2", BAD_LEVEL},
        Malformed{"traxDumpvars 1x", BAD_LEVEL},
        Malformed{"traxDumpvars { 1}", BAD_LEVEL},
        Malformed{"traxDumpvars 4294967297", BAD_LEVEL},
        Malformed{"traxDumpvars {}", BAD_LEVEL},
        Malformed{"traxDumpvars 1 top/nothere", "*Tavri* Error: traxDumpvars - Cannot find the scope(top/nothere).\n"},
        Malformed{"traxDumpSingle", "*Tavri* Error: Syntax error - traxDumpSingle signal_name\n"},
        Malformed{"traxDumpSingle top/mem/q top/mem/w", "*Tavri* Error: Syntax error - traxDumpSingle signal_name\n"},
        Malformed{"traxDumpSingle top/mem/none", "*Tavri* Error: traxDumpSingle - Cannot find the signal(top/mem/none).\n"},
        Malformed{"traxDumpvarsToFile",
                  "*Tavri* Error: Syntax error - traxDumpvarsToFile scope_filename trax_filename\n"},
        Malformed{"traxDumpvarsToFile a b c",
                  "*Tavri* Error: Syntax error - traxDumpvarsToFile scope_filename trax_filename\n"},
        Malformed{"traxSwitchDumpfile", "*Tavri* Error: Syntax error - traxSwitchDumpfile filename\n"},
        Malformed{"traxSwitchDumpfile a b", "*Tavri* Error: Syntax error - traxSwitchDumpfile filename\n"},
        Malformed{"traxAutoSwitchDumpfile 10 run", SYNTAX_AUTO},
        Malformed{"traxAutoSwitchDumpfile 10 run 3 log extra", SYNTAX_AUTO},
        Malformed{"traxAutoSwitchDumpfile 0 run 3",
                  "*Tavri* Error: traxAutoSwitchDumpfile - Invalid argument for file limitation.\n"},
        Malformed{"traxAutoSwitchDumpfile 010 run 3",
                  "*Tavri* Error: traxAutoSwitchDumpfile - Invalid argument for file limitation.\n"},
        Malformed{"traxAutoSwitchDumpfile 10 run -1",
                  "*Tavri* Error: traxAutoSwitchDumpfile - Invalid argument for file amount.\n"},
        Malformed{"traxAutoSwitchDumpfile 10 run three",
                  "*Tavri* Error: traxAutoSwitchDumpfile - Invalid argument for file amount.\n"},
        Malformed{"traxDebug", "*Tavri* Error: Syntax error - traxDebug command \n"},
        Malformed{"traxSubstituteHier chip.core", SYNTAX_SUBSTITUTE},
        Malformed{"traxSubstituteHier chip.core -1", SYNTAX_SUBSTITUTE},
        Malformed{"traxSubstituteHier chip.core 1.0", SYNTAX_SUBSTITUTE},
        Malformed{"traxSubstituteHier chip.core 1 2", SYNTAX_SUBSTITUTE},
        Malformed{"traxSubstituteHier a..b 1",
                  "*Tavri* Warning: traxSubstituteHier: \"a..b\" is an invalid hierarchy scope name.\n"},
        Malformed{"traxDumpPattern top 0 u*", SYNTAX_PATTERN},
        Malformed{"traxDumpPattern top/none 0 * *",
                  "*Tavri* Error: traxDumpPattern - Cannot get the handle of the #1 arg.\n" SYNTAX_PATTERN},
        Malformed{"traxDumpPattern top/mem/q 0 * *",
                  "*Tavri* Error: traxDumpPattern - The #1 arg is invalid.\n" SYNTAX_PATTERN},
        Malformed{"traxDumpPattern top +2 * *", "*Tavri* Error: traxDumpPattern - The #2 arg. is invalid.\n" SYNTAX_PATTERN},
        Malformed{"traxDumpPattern top/none x * *",
                  "*Tavri* Error: traxDumpPattern - Cannot get the handle of the #1 arg.\n"
                  "*Tavri* Error: traxDumpPattern - The #2 arg. is invalid.\n" SYNTAX_PATTERN}));

}  // namespace
}  // namespace tavri::test
