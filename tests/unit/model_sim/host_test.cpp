// Registration, plus-arguments, the transcript, the Tcl host and the
// simulator-wide queries.
#include <gtest/gtest.h>
#include <tcl.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/sim_routines.h"
#include "support/model_sim.h"
#include "test_tasks.h"

namespace tavri::test {
namespace {

using sim::g_sim;

TEST(ModelSimHost, KeepsRegisteredRowsInOrderAndFindsTheLatestByName) {
    ModelSim model;
    TestTasks tasks;
    p_tfcell first = tasks.Add("$b");
    p_tfcell second = tasks.Add("$a");
    p_tfcell again = tasks.Add("$b");
    EXPECT_EQ(model.RegisteredRows(), (std::vector<p_tfcell>{first, second, again}));
    EXPECT_EQ(model.FindRow("$b"), again);
    EXPECT_EQ(model.FindRow("$a"), second);
    EXPECT_EQ(model.FindRow("$c"), nullptr);
}

TEST(ModelSimHost, ScansPlusArgumentsByPrefixWithoutThePlus) {
    ModelSim model;
    model.AddPlusArg("+trax_max_glitch+5");
    model.AddPlusArg("+trax_quiet");
    model.AddPlusArg("+trax_max_glitch+9");

    const char *glitch = g_sim.mc_scan_plusargs("trax_max_glitch+");
    ASSERT_NE(glitch, nullptr);
    EXPECT_STREQ(glitch, "5");  // the first match wins
    const char *quiet = g_sim.mc_scan_plusargs("trax_quiet");
    ASSERT_NE(quiet, nullptr);
    EXPECT_STREQ(quiet, "");
    EXPECT_STREQ(g_sim.mc_scan_plusargs("trax"), "_max_glitch+5");  // a prefix of the argument matches
    EXPECT_EQ(g_sim.mc_scan_plusargs("+trax_quiet"), nullptr);       // the "+" is not part of the prefix
    EXPECT_EQ(g_sim.mc_scan_plusargs("other"), nullptr);

    // Later plus-arguments leave returned pointers intact.
    for (int i = 0; i < 100; ++i) {
        model.AddPlusArg("+filler" + std::to_string(i));
    }
    EXPECT_STREQ(glitch, "5");
}

TEST(ModelSimHost, CapturesEveryChannelOfTheTranscript) {
    ModelSim model;
    g_sim.io_printf("value %d of %s\n", 42, "x");
    g_sim.tf_warning("odd %s", "thing");
    g_sim.tf_error("bad %d", 7);
    g_sim.mti_PrintMessage("note\n");

    ASSERT_EQ(model.Transcript().size(), 4U);
    EXPECT_EQ(model.Transcript()[0].channel, ModelSim::Channel::kPrint);
    EXPECT_EQ(model.Transcript()[0].text, "value 42 of x\n");
    EXPECT_EQ(model.Transcript()[1].channel, ModelSim::Channel::kWarning);
    EXPECT_EQ(model.Transcript()[1].text, "odd thing");
    EXPECT_EQ(model.Transcript()[2].channel, ModelSim::Channel::kError);
    EXPECT_EQ(model.Transcript()[2].text, "bad 7");
    EXPECT_EQ(model.Transcript()[3].channel, ModelSim::Channel::kMessage);
    EXPECT_EQ(model.TranscriptText(), "value 42 of x\nWARNING: odd thing\nERROR: bad 7\nnote\n");
    EXPECT_EQ(model.CountMessages(ModelSim::Channel::kError), 1);

    // Long formatted text is not cut.
    const std::string long_text(5000, 'q');
    g_sim.io_printf("%s", long_text.c_str());
    EXPECT_EQ(model.Transcript().back().text, long_text);
    model.ClearTranscript();
    EXPECT_EQ(model.TranscriptText(), "");
}

TEST(ModelSimHost, CountsErrorsReportedByChecktf) {
    ModelSim model;
    TestTasks tasks;
    tasks.Add("$picky", {.check = [] {
                             g_sim.tf_error("first");
                             g_sim.tf_error("second");
                             return 3;
                         }});
    Scope *top = model.AddTopModule("top");
    g_sim.tf_error("outside");
    TaskCall *call = model.AddTaskCall(top, "$picky");
    EXPECT_EQ(model.RunCheck(call), 3);
    EXPECT_TRUE(call->checked);
    EXPECT_EQ(call->check_result, 3);
    EXPECT_EQ(call->check_errors, 2);
    EXPECT_EQ(call->call_count, 0);

    // RunTask stops after a checktf that reported errors.
    TaskCall *run = model.RunTask(top, "$picky");
    EXPECT_EQ(run->check_errors, 2);
    EXPECT_EQ(run->call_count, 0);
}

TEST(ModelSimHost, ReportsVersionResolutionAndInitialisation) {
    ModelSim model;
    EXPECT_STREQ(g_sim.acc_product_version(), "Model Simulator Version 6.2a");
    model.SetProductVersion("Other Version 10.1");
    EXPECT_STREQ(g_sim.acc_product_version(), "Other Version 10.1");
    EXPECT_EQ(g_sim.mti_GetResolutionLimit(), -9);
    EXPECT_EQ(g_sim.acc_initialize(), 1);
    EXPECT_EQ(g_sim.acc_initialize(), 1);
    EXPECT_EQ(model.AccInitializeCount(), 2);
}

// A Tcl command of the front end's shape: counts calls and echoes its words.
struct EchoState {
    int calls = 0;
    int deletes = 0;
    std::vector<std::string> words;
    handle looked_up = nullptr;
};

int Echo(void *client_data, void *interp, int argc, const char *argv[]) {
    auto *state = static_cast<EchoState *>(client_data);
    ++state->calls;
    state->words.assign(argv, argv + argc);
    state->looked_up = g_sim.acc_handle_object("top");
    if (argc > 1 && std::strcmp(argv[1], "fail") == 0) {
        Tcl_SetResult(static_cast<Tcl_Interp *>(interp), const_cast<char *>("it failed"), TCL_STATIC);
        return TCL_ERROR;
    }
    Tcl_SetResult(static_cast<Tcl_Interp *>(interp), const_cast<char *>(argv[argc - 1]), TCL_VOLATILE);
    return TCL_OK;
}

void CountDelete(void *client_data) { ++static_cast<EchoState *>(client_data)->deletes; }

TEST(ModelSimHost, RegistersTclCommandsInARealInterpreter) {
    EchoState echo;
    EchoState other;
    {
        ModelSim model;
        Scope *top = model.AddTopModule("top");
        g_sim.mti_AddTclCommand("trax_echo", &Echo, &echo, &CountDelete);
        g_sim.mti_AddTclCommand("trax_other", &Echo, &other, nullptr);
        EXPECT_EQ(model.TclCommandNames(), (std::vector<std::string>{"trax_echo", "trax_other"}));

        const ModelSim::TclResult ok = model.EvalTcl("trax_echo a {b c}");
        EXPECT_EQ(ok.code, TCL_OK);
        EXPECT_EQ(ok.result, "b c");
        EXPECT_EQ(echo.calls, 1);
        EXPECT_EQ(echo.words, (std::vector<std::string>{"trax_echo", "a", "b c"}));
        EXPECT_EQ(echo.looked_up, top);  // names resolve from the top level

        // Tcl itself runs around the commands.
        const ModelSim::TclResult nested = model.EvalTcl("set n [trax_other x]; string toupper $n");
        EXPECT_EQ(nested.code, TCL_OK);
        EXPECT_EQ(nested.result, "X");
        EXPECT_EQ(other.calls, 1);

        const ModelSim::TclResult failed = model.EvalTcl("trax_echo fail");
        EXPECT_EQ(failed.code, TCL_ERROR);
        EXPECT_EQ(failed.result, "it failed");

        EXPECT_EQ(model.EvalTcl("no_such_command").code, TCL_ERROR);
        EXPECT_EQ(echo.deletes, 0);
    }
    // Deleting the interpreter with the simulator runs the delete proc.
    EXPECT_EQ(echo.deletes, 1);
}

}  // namespace
}  // namespace tavri::test
