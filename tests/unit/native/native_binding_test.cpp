// The native library as a simulator loads it: dlopen build/libtavri.so,
// which resolves its simulator routines against this program, and call its
// init_usertfs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <tcl.h>

#include <cstdlib>
#include <string>

#include "support/model_sim.h"

namespace tavri::test {
namespace {

class NativeLibrary : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char *build = std::getenv("TAVRI_BUILD_DIR");
        const std::string path = std::string(build != nullptr ? build : "build") + "/libtavri.so";
        library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
    }

    using EntryPoint = void (*)();
    EntryPoint Entry() const { return reinterpret_cast<EntryPoint>(dlsym(library_, "init_usertfs")); }

    static void *library_;
};

void *NativeLibrary::library_ = nullptr;

TEST_F(NativeLibrary, ExportsOnlyItsEntryPoint) {
    ASSERT_NE(Entry(), nullptr);
    EXPECT_EQ(dlsym(library_, "plimiscTRAX"), nullptr);
    EXPECT_EQ(dlsym(library_, "_ZN5tavri3sim5g_simE"), nullptr) << "the routine table stays inside";
}

TEST_F(NativeLibrary, EntryRegistersTheTasksAndTclCommands) {
    ModelSim sim;
    Entry()();
    ASSERT_FALSE(sim.RegisteredRows().empty());
    EXPECT_STREQ(sim.RegisteredRows().front()->tfname, "$traxVersion");
    ASSERT_EQ(sim.TclCommandNames().size(), 16u);
    EXPECT_EQ(sim.TclCommandNames().front(), "traxDumpfile");
    EXPECT_EQ(sim.TclCommandNames().back(), "traxDumpPattern");
}

TEST_F(NativeLibrary, VersionTaskRunsThroughTheSimulatorsRoutines) {
    ModelSim sim;
    Entry()();
    Scope *top = sim.AddTopModule("top");
    sim.RunTask(top, "$traxVersion");
    EXPECT_EQ(sim.TranscriptText(), "Tavri TRAX Dumper for ModelSim, Release 5.4v9 (Win95/NT) 05/04/2005\n");
    sim.ClearTranscript();
    TaskCall *bad = sim.RunTask(top, "$traxVersion(3)");
    EXPECT_EQ(bad->check_result, 0);
    EXPECT_EQ(sim.TranscriptText(), "ERROR: Syntax error - No argument is allowed\n");
    sim.ClearTranscript();
    EXPECT_EQ(sim.EvalTcl("traxVersion").code, TCL_OK);
    EXPECT_EQ(sim.TranscriptText(), "Tavri TRAX Dumper for ModelSim, Release 5.4v9 (Win95/NT) 05/04/2005\n");
}

}  // namespace
}  // namespace tavri::test
