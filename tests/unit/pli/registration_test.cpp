// Loading the front end into a simulator: the rows and Tcl commands it
// registers, $traxVersion and its argument check.
#include <gtest/gtest.h>
#include <tcl.h>

#include <cstring>

#include "pli/registration.h"
#include "pli/task_table.h"
#include "support/model_sim.h"

namespace tavri::test {
namespace {

constexpr const char kBanner[] = "Tavri TRAX Dumper for ModelSim, Release 5.4v9 (Win95/NT) 05/04/2005\n";

TEST(Registration, RowsCarryTheirFixedFields) {
    ModelSim sim;
    pli::RegisterDumper();
    ASSERT_FALSE(sim.RegisteredRows().empty());
    for (p_tfcell row : sim.RegisteredRows()) {
        SCOPED_TRACE(row->tfname);
        EXPECT_EQ(row->type, usertask);
        EXPECT_EQ(row->data, 0);
        EXPECT_EQ(row->sizetf, nullptr);
        EXPECT_EQ(row->forwref, 1);
        EXPECT_EQ(row->tfveritool, nullptr);
        EXPECT_EQ(row->tferrmessage, nullptr);
        EXPECT_EQ(row->hash, 0);
        EXPECT_EQ(row->left_p, nullptr);
        EXPECT_EQ(row->right_p, nullptr);
        EXPECT_NE(row->calltf, nullptr);
    }
    EXPECT_STREQ(sim.RegisteredRows().front()->tfname, "$traxVersion");
}

TEST(Registration, RowsComeFirstInTableOrderThenTheTclCommands) {
    ModelSim sim;
    pli::RegisterDumper();
    size_t rows = 0;
    for (const s_tfcell *row = pli::g_taskTable; row->type != 0; ++row) {
        ASSERT_LT(rows, sim.RegisteredRows().size());
        EXPECT_EQ(sim.RegisteredRows()[rows], row) << "the table's own rows, in order";
        ++rows;
    }
    EXPECT_EQ(sim.RegisteredRows().size(), rows);
    std::vector<std::string> commands;
    for (const pli::TclCommandRow *command = pli::g_tclCommands; command->name != nullptr; ++command) {
        commands.emplace_back(command->name);
    }
    EXPECT_EQ(sim.TclCommandNames(), commands);
}

TEST(Registration, TableThatStartsWithTheTerminatorRegistersOnlyTclCommands) {
    ModelSim sim;
    s_tfcell empty[1] = {};
    pli::RegisterWithSimulator(empty, pli::g_tclCommands);
    EXPECT_TRUE(sim.RegisteredRows().empty());
    EXPECT_FALSE(sim.TclCommandNames().empty());
}

TEST(Registration, RegisteringReadsNoOptionAndPrintsNothing) {
    ModelSim sim;
    sim.AddPlusArg("+trax_no_all_msg");
    pli::RegisterDumper();
    EXPECT_TRUE(sim.Transcript().empty());
    EXPECT_EQ(sim.AccInitializeCount(), 0);
}

class VersionTask : public ::testing::Test {
  protected:
    void SetUp() override {
        pli::RegisterDumper();
        top_ = sim_.AddTopModule("top");
        sim_.AddReg(top_, "r");
    }
    ModelSim sim_;
    Scope *top_ = nullptr;
};

TEST_F(VersionTask, PrintsTheShortBannerOnTheTranscript) {
    TaskCall *call = sim_.RunTask(top_, "$traxVersion");
    EXPECT_EQ(call->check_result, 1);
    EXPECT_EQ(call->last_call_result, 1);
    EXPECT_EQ(sim_.TranscriptText(), kBanner);
}

TEST_F(VersionTask, OneEmptyArgumentPasses) {
    TaskCall *call = sim_.RunTask(top_, "$traxVersion()");
    EXPECT_EQ(call->check_result, 1);
    EXPECT_EQ(call->check_errors, 0);
    EXPECT_EQ(sim_.TranscriptText(), kBanner);
}

TEST_F(VersionTask, RealArgumentsFailTheCheck) {
    for (const char *source : {"$traxVersion(1)", "$traxVersion(\"x\")", "$traxVersion(r)",
                               "$traxVersion(,)", "$traxVersion(top)"}) {
        SCOPED_TRACE(source);
        sim_.ClearTranscript();
        TaskCall *call = sim_.RunTask(top_, source);
        EXPECT_EQ(call->check_result, 0);
        EXPECT_EQ(call->call_count, 0) << "a simulator stops at a compile error";
        EXPECT_EQ(sim_.TranscriptText(), "ERROR: Syntax error - No argument is allowed\n");
    }
}

TEST_F(VersionTask, TclCommandPrintsTheBannerAndSucceeds) {
    const ModelSim::TclResult result = sim_.EvalTcl("traxVersion");
    EXPECT_EQ(result.code, TCL_OK);
    EXPECT_EQ(sim_.TranscriptText(), kBanner);
    EXPECT_EQ(sim_.EvalTcl("traxVersion extra words").code, TCL_OK);
}

}  // namespace
}  // namespace tavri::test
