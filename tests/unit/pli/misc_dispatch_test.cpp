// The shared misctf: its reason filter, the state it keeps, the trace line,
// and the names files are reopened under after a restart.
#include <gtest/gtest.h>

#include "pli/dumper_state.h"
#include "pli/misc_dispatch.h"
#include "pli/restore_name.h"
#include "pli/trace.h"
#include "support/model_sim.h"

namespace tavri::test {
namespace {

class MiscDispatch : public ::testing::Test {
  protected:
    void SetUp() override { pli::ResetDumperState(); }
    void TearDown() override {
        pli::ResetDumperState();
        pli::g_trace = pli::TraceState{};
    }
    ModelSim sim_;
};

TEST_F(MiscDispatch, ReasonsOutsideTheRangeDoNothing) {
    pli::g_dumper.rosync_idle = false;
    pli::g_dumper.current_file_name = "kept.trax";
    for (int reason : {0, 1, 2, 3, 29, 30, -1, 1000}) {
        EXPECT_EQ(pli::plimiscTRAX(0, reason), 1) << reason;
    }
    EXPECT_FALSE(pli::g_dumper.rosync_idle);
    EXPECT_EQ(pli::g_dumper.current_file_name, "kept.trax");
    EXPECT_EQ(sim_.AccInitializeCount(), 0);
    EXPECT_TRUE(sim_.Transcript().empty());
}

TEST_F(MiscDispatch, ReadOnlySynchronisationMarksTheSynchronisationDone) {
    pli::g_dumper.rosync_idle = false;
    EXPECT_EQ(pli::plimiscTRAX(0, reason_rosynch), 1);
    EXPECT_TRUE(pli::g_dumper.rosync_idle);
}

TEST_F(MiscDispatch, StartOfSaveIsRemembered) {
    EXPECT_EQ(pli::plimiscTRAX(0, reason_startofsave), 1);
    EXPECT_TRUE(pli::g_dumper.saving);
}

TEST_F(MiscDispatch, ResetForgetsTheFileNameModesAndClosedNames) {
    pli::g_dumper.current_file_name = "a.trax";
    pli::g_dumper.mode = pli::DumpMode::kSingleFile;
    pli::g_dumper.closed_names = {"x.trax"};
    EXPECT_EQ(pli::plimiscTRAX(0, reason_reset), 1);
    EXPECT_FALSE(pli::g_dumper.current_file_name.has_value());
    EXPECT_EQ(pli::g_dumper.mode, pli::DumpMode::kNone);
    EXPECT_TRUE(pli::g_dumper.closed_names.empty());
    EXPECT_EQ(sim_.AccInitializeCount(), 1);
}

TEST_F(MiscDispatch, FinishInitialisesAcc) {
    EXPECT_EQ(pli::plimiscTRAX(0, reason_finish), 1);
    EXPECT_EQ(sim_.AccInitializeCount(), 1);
}

TEST_F(MiscDispatch, TraceLineOnlyWhileDebugTracing) {
    pli::plimiscTRAX(0, reason_rosynch);
    EXPECT_TRUE(sim_.Transcript().empty());
    pli::g_trace.debug = true;
    pli::plimiscTRAX(0, reason_rosynch);
    pli::plimiscTRAX(0, 3);
    EXPECT_EQ(sim_.TranscriptText(), "plimiscTRAX() reason=11\nplimiscTRAX() reason=3\n");
}

TEST(TracePrint, LongLinesAreCutToTheBuffer) {
    ModelSim sim;
    const std::string long_text(3000, 'x');
    pli::TracePrint("%s", long_text.c_str());
    EXPECT_EQ(sim.TranscriptText(), std::string(1023, 'x'));
}

TEST(RestoreName, TraxFilesGetARestoreExtensionOnce) {
    EXPECT_EQ(pli::RestoreName("a.trax"), "a.restore.trax");
    EXPECT_EQ(pli::RestoreName("a.restore.trax"), "a.restore.trax");
    EXPECT_EQ(pli::RestoreName("a.restore7.trax"), "a.restore.trax");
    EXPECT_EQ(pli::RestoreName("dir/run.1.trax"), "dir/run.1.restore.trax");
}

TEST(RestoreName, OtherFilesGetARestoreSuffix) {
    EXPECT_EQ(pli::RestoreName("wave"), "wave.restore");
    EXPECT_EQ(pli::RestoreName("wave.restore"), "wave.restore");
    EXPECT_EQ(pli::RestoreName("wave.vcd"), "wave.vcd.restore");
    EXPECT_EQ(pli::RestoreName("out.d/wave"), "out.d/wave.restore") << "a dot in a directory is no extension";
    EXPECT_EQ(pli::RestoreName(".trax"), ".restore.trax");
}

}  // namespace
}  // namespace tavri::test
