// $traxDebug and its command line: each command's output and effect, where
// the trace goes (transcript, standard output and error, a file), the
// disable mask, TRAX_DEBUG_LOG at start-up, and the limits on file names and
// transcript lines.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "frontend_fixture.h"
#include "pli/call_trace.h"
#include "pli/debug_command.h"
#include "pli/trace_settings.h"

namespace tavri::test {
namespace {

constexpr const char kHelp[] =
    "List of TRAX debug commands:\n"
    "-h                          Print help\n"
    "-m [n]                      Set trace mode to [n]\n"
    "   n=2                      Log PLI execution flow\n"
    "   n=4                      Log simulator API call\n"
    "   n=6                      Log both\n"
    "-f [file_name]              Set trace file name\n"
    "-p                          Print trace status\n"
    "-ppli                       Print PLI internal status\n"
    "-te                         Start time measure\n"
    "-tp                         Print time measure result\n"
    "-wvc [enable/disable/e/d]   Enable/Disable TRAX write value change\n"
    "-dtrace [mask]              Disable trace a specific API\n"
    "        mask=1              Disable trace the PLI 1.0 functions\n"
    "        mask=2              Disable trace the VPI functions\n";

std::string Status(int mode, const std::string &file, const char *write_vc) {
    return "     Log mode: " + std::to_string(mode) + "\n Log filename: " + file +
           "\n Time measure: Disable\nTRAX write VC: " + write_vc + "\n";
}

std::string ReadAll(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DebugCommand : public FrontEndTest {
  protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        top_ = sim_.AddTopModule("top");
        sim_.AddReg(top_, "r");
        sim_.AddNet(top_, "bus", 7, 0);
    }
    std::string Command(const std::string &text) {
        sim_.ClearTranscript();
        pli::RunDebugCommand(text.c_str());
        return sim_.TranscriptText();
    }
    Scope *top_ = nullptr;
};

struct CommandCase {
    const char *text;
    std::string printed;   // the whole transcript the line leaves
    int mode;              // the trace mode afterwards
    int disable_mask;
    bool debug;
    bool write_vc;
};

TEST_F(DebugCommand, EachCommandPrintsAndSetsWhatItSays) {
    const CommandCase cases[] = {
        {"-h", kHelp, 0, 0, false, true},
        {"-p", Status(0, "simlog", "Enable"), 0, 0, false, true},
        {"   -p  ", Status(0, "simlog", "Enable"), 0, 0, false, true},
        {"-te -tp", "", 0, 0, false, true},
        {"-wvc d -p", "Disable TRAX write value change.\n" + Status(0, "simlog", "Disable"), 0, 0, false, false},
        {"-wvc disable -wvc enable", "Disable TRAX write value change.\nEnable TRAX write value change.\n", 0, 0,
         false, true},
        {"-wvc d -wvc e", "Disable TRAX write value change.\nEnable TRAX write value change.\n", 0, 0, false, true},
        {"-wvc off -p", Status(0, "simlog", "Enable"), 0, 0, false, true},
        {"-wvc", "", 0, 0, false, true},
        {"-dtrace 1", "Don't trace the PLI 1.0 functions.\n", 0, 1, false, true},
        {"-dtrace 2", "Don't trace the VPI functions.\n", 0, 2, false, true},
        {"-dtrace 3", "Don't trace the PLI 1.0 functions.\nDon't trace the VPI functions.\n", 0, 3, false, true},
        {"-dtrace", "", 0, 0, false, true},
        {"-m 2", "Set debug mode to 2\n", 2, 0, true, true},
        {"-m 4", "Set debug mode to 4\n", 4, 0, false, true},
        {"-m 6 -p", "Set debug mode to 6\n" + Status(6, "simlog", "Enable"), 6, 0, true, true},
        {"-m", "", 0, 0, false, true},
        {"-m junk", "Set debug mode to 0\n", 0, 0, false, true},
        {"-x -h", "Unkonwn debug command.\n", 0, 0, false, true},
        {"-m 2 -bogus -m 4", "Set debug mode to 2\nUnkonwn debug command.\n", 2, 0, true, true},
        {"", "", 0, 0, false, true},
    };
    for (const CommandCase &c : cases) {
        SCOPED_TRACE(std::string("command line '") + c.text + "'");
        pli::ResetTracing();
        EXPECT_EQ(Command(c.text), c.printed);
        EXPECT_EQ(pli::g_trace.mode, c.mode);
        EXPECT_EQ(pli::g_trace.disable_mask, c.disable_mask);
        EXPECT_EQ(pli::g_trace.debug, c.debug);
        EXPECT_EQ(pli::g_trace.write_value_change, c.write_vc);
        EXPECT_EQ(pli::CallTracingInstalled(), (c.mode & 4) != 0);
    }
}

TEST_F(DebugCommand, PrintPliStatusShowsTheReportWithTheTraceModeAndArmsIt) {
    const std::string printed = Command("-m 2 -ppli");
    EXPECT_NE(printed.find("*Tavri* Internal Status Report\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("*Tavri* Trace mode         : 2\n"), std::string::npos) << printed;
    sim_.ClearTranscript();
    DumpTo(top_, "armed.trax");
    EXPECT_TRUE(Printed("*Tavri* Internal Status Report\n")) << "armed: printed again at file creation";
}

TEST_F(DebugCommand, TraxDebugEnvironmentTurnsTheFlowTraceOnWithCallTracingAlone) {
    ScopedEnv debug("TRAX_DEBUG", "0");
    Command("-m 4");
    EXPECT_TRUE(pli::g_trace.debug) << "the variable's presence counts";
    EXPECT_TRUE(pli::CallTracingInstalled());
    Command("-m 0");
    EXPECT_TRUE(pli::g_trace.debug);
    EXPECT_FALSE(pli::CallTracingInstalled());
}

TEST_F(DebugCommand, DisableMaskKeepsTheTableOnlyWhenGivenFirst) {
    Command("-dtrace 1 -m 4");
    EXPECT_FALSE(pli::CallTracingInstalled()) << "mask first: the table stays the simulator's";
    pli::ResetTracing();
    Command("-m 4 -dtrace 1");
    EXPECT_TRUE(pli::CallTracingInstalled()) << "mask after the mode: too late";
    Command("-m 6");
    EXPECT_TRUE(pli::CallTracingInstalled()) << "with the mask set the table stays unchanged, wrappers and all";
    Command("-m 2");
    EXPECT_FALSE(pli::CallTracingInstalled()) << "switching call tracing off restores the table whatever the mask";
    pli::ResetTracing();
    Command("-dtrace 2 -m 4");
    EXPECT_TRUE(pli::CallTracingInstalled()) << "the VPI bit does not concern these routines";
}

TEST_F(DebugCommand, TraceFileStartsWithTheSimulatorAndReceivesTheTrace) {
    const std::string path = Path("trace.log");
    EXPECT_EQ(Command("-f " + path), "Set log file to " + path + "\n");
    EXPECT_EQ(Command("-f " + path), "") << "the current name changes nothing";
    Command("-m 2");
    sim_.ClearTranscript();
    Run(top_, "$traxDumpvars(0, top)");
    EXPECT_FALSE(Printed("plitaskDumpvars()")) << "trace lines go to the file, not the transcript";
    const std::string text = ReadAll(path);
    EXPECT_EQ(text.rfind("Simulator: Model Simulator Version 6.2a\n", 0), 0u) << text;
    EXPECT_NE(text.find("plicompileDumpvars()\nplitaskDumpvars()\n"), std::string::npos) << text;
    EXPECT_EQ(Command("-p"), Status(2, path, "Enable"));
}

TEST_F(DebugCommand, ModeSixWithAFileTracesFlowAndCallsIntoIt) {
    const std::string path = Path("both.log");
    Run(top_, "$traxDebug(\"-m 6 -f " + path + "\")");
    EXPECT_TRUE(Printed("Set debug mode to 6\nSet log file to " + path + "\n")) << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(0, top)");
    const std::string text = ReadAll(path);
    EXPECT_EQ(text.rfind("Simulator: ", 0), 0u) << text;
    EXPECT_NE(text.find("plitaskDumpvars()\n"), std::string::npos) << text;
    EXPECT_NE(text.find("acc_vcl_add()\n"), std::string::npos) << text;
}

TEST_F(DebugCommand, SwitchingFilesClosesTheFirstWithEverythingWritten) {
    const std::string first = Path("first.log");
    const std::string second = Path("second.log");
    Command("-f " + first);
    pli::TracePrint("line %d\n", 1);
    Command("-f " + second);
    pli::TracePrint("line %d\n", 2);
    EXPECT_EQ(ReadAll(first), "Simulator: Model Simulator Version 6.2a\nline 1\n");
    EXPECT_EQ(ReadAll(second), "Simulator: Model Simulator Version 6.2a\nline 2\n");
    Command("-f simlog");
    EXPECT_EQ(pli::g_trace.stream, nullptr);
    sim_.ClearTranscript();
    pli::TracePrint("line %d\n", 3);
    EXPECT_EQ(sim_.TranscriptText(), "line 3\n");
}

TEST_F(DebugCommand, StandardStreamsAreTheProcesssOwn) {
    Command("-f stdout");
    EXPECT_EQ(pli::g_trace.stream, stdout);
    ::testing::internal::CaptureStdout();
    pli::TracePrint("to stdout %d\n", 7);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "to stdout 7\n");
    Command("-f stderr");
    EXPECT_EQ(pli::g_trace.stream, stderr);
    ::testing::internal::CaptureStderr();
    pli::TracePrint("line for stderr\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "line for stderr\n");
    EXPECT_FALSE(Printed("to stdout 7")) << sim_.TranscriptText();
    EXPECT_FALSE(Printed("line for stderr")) << sim_.TranscriptText();
}

TEST_F(DebugCommand, AFileThatCannotBeCreatedFallsBackToStandardError) {
    const std::string path = Path("no/such/dir/trace.log");
    EXPECT_EQ(Command("-f " + path), "Cannot create log file:" + path + "\nSet log file to stderr\n");
    EXPECT_EQ(pli::g_trace.stream, stderr);
    EXPECT_EQ(Command("-p"), Status(0, "stderr", "Enable"));
}

TEST_F(DebugCommand, AFileNameLongerThanTheBufferIsRefusedAndNothingChanges) {
    const std::string fits = Path("f") + std::string(pli::kTraceFileNameMax - Path("f").size(), 'x');
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_EQ(Command("-f " + fits), "Set log file to " + fits + "\n");
    EXPECT_TRUE(std::filesystem::exists(fits));
    const std::string too_long = fits + "y";
    const std::string printed = Command("-f " + too_long);
    EXPECT_NE(printed.find("longer than 255 characters"), std::string::npos) << printed;
    EXPECT_FALSE(std::filesystem::exists(too_long));
    EXPECT_EQ(std::string(pli::g_trace.file_name), fits);
    pli::TracePrint("still here\n");
    EXPECT_NE(ReadAll(fits).find("still here\n"), std::string::npos) << "the open trace file stays in use";
}

TEST_F(DebugCommand, TranscriptLinesAreCutToTheBufferATraceFileTakesThemWhole) {
    const std::string long_text(3000, 'a');
    sim_.ClearTranscript();
    pli::TracePrint("%s\n", long_text.c_str());
    ASSERT_EQ(sim_.Transcript().size(), 1u);
    EXPECT_EQ(sim_.Transcript()[0].text, std::string(1023, 'a'));
    const std::string path = Path("long.log");
    Command("-f " + path);
    pli::TracePrint("%s\n", long_text.c_str());
    EXPECT_NE(ReadAll(path).find(long_text + "\n"), std::string::npos);
}

TEST_F(DebugCommand, TaskChecksItsOneStringArgument) {
    Run(top_, "$traxDebug");
    Run(top_, "$traxDebug(\"-p\", \"-h\")");
    const std::vector<std::string> expected(2, "Syntax error - $traxDebug(\"command\")");
    EXPECT_EQ(Errors(), expected);
    sim_.ClearTranscript();
    TaskCall *call = Run(top_, "$traxDebug(\"-p\")");
    EXPECT_EQ(call->check_result, 1);
    EXPECT_EQ(call->last_call_result, 1);
    EXPECT_EQ(sim_.TranscriptText(), Status(0, "simlog", "Enable"));
    sim_.ClearTranscript();
    call = Run(top_, "$traxDebug(\"\")");
    EXPECT_EQ(call->last_call_result, 0);
    EXPECT_EQ(sim_.TranscriptText(), "WARNING: The arguments of $traxDebug() are mismatched.\n");
}

class DebugLogStartup : public DebugCommand {};

TEST_F(DebugLogStartup, TokensSeparatedByColonsSetModeFileAndMaskAtTheFirstFile) {
    const std::string path = Path("startup.log");
    ScopedEnv log("TRAX_DEBUG_LOG", ("x:m:6:f:" + path).c_str());
    EXPECT_FALSE(pli::CallTracingInstalled()) << "nothing is read at registration";
    DumpTo(top_, "startup.trax");
    EXPECT_TRUE(Printed("Set debug mode to 6\nSet log file to " + path + "\n")) << sim_.TranscriptText();
    EXPECT_TRUE(pli::CallTracingInstalled());
    Run(top_, "$traxDumpvars(0, top)");
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("plitaskDumpvars()\n"), std::string::npos) << text;
    EXPECT_NE(text.find("acc_fetch_name()\n"), std::string::npos) << text;
}

TEST_F(DebugLogStartup, MaskBeforeTheModeKeepsCallsUntracedAndTheSettingIsReadOnce) {
    ScopedEnv log("TRAX_DEBUG_LOG", "dt:1:m:4:m");
    pli::TraceLogStartup();
    EXPECT_EQ(sim_.TranscriptText(), "Don't trace the PLI 1.0 functions.\nSet debug mode to 4\n");
    EXPECT_FALSE(pli::CallTracingInstalled());
    ScopedEnv changed("TRAX_DEBUG_LOG", "m:2");
    pli::TraceLogStartup();
    EXPECT_EQ(pli::g_trace.mode, 4) << "read once per process";
}

TEST_F(DebugLogStartup, StdoutFromStartUpOn) {
    ScopedEnv log("TRAX_DEBUG_LOG", "m:4:f:stdout");
    pli::TraceLogStartup();
    ::testing::internal::CaptureStdout();
    sim::g_sim.acc_fetch_size(sim_.Lookup("top.bus"));
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("acc_fetch_size()\n\tArg 1 (handle)=0x", 0), 0u) << out;
    EXPECT_NE(out.find("\treturn (int) 8\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace tavri::test
