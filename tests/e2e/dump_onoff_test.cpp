// $traxDumpon and $traxDumpoff under Icarus Verilog, compared with the
// simulator's own $dumpon and $dumpoff: several calls in one time step, and
// a storm of pairs, leave dumping as the last call of the step says.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

class DumpOnOff : public IcarusTest {
  protected:
    Outcome Run(bool with_tavri, const std::string &out) {
        SimOptions options;
        options.with_tavri = with_tavri;
        options.defines = std::string("-I ") + TAVRI_E2E_DESIGNS + (with_tavri ? " -DDUMP_TRAX" : "") +
                          " -DOUT='\"" + Path(out).string() + "\"'";
        return Simulate(fs::path(TAVRI_E2E_DESIGNS) / "dump_onoff_storm.v", out, options);
    }
};

TEST_F(DumpOnOff, LastCallOfAStepWinsAsWithTheSimulatorsOwnTasks) {
    const Outcome ours_run = Run(true, "ours.trax");
    ASSERT_EQ(ours_run.status, 0) << ours_run.output;
    const Outcome theirs_run = Run(false, "theirs.vcd");
    ASSERT_EQ(theirs_run.status, 0) << theirs_run.output;
    const Outcome exported = Trax("vcd '" + Path("ours.trax").string() + "' -o '" + Path("ours.vcd").string() + "'");
    ASSERT_EQ(exported.status, 0) << exported.output;
    const VcdFile ours = ReadVcd(Path("ours.vcd").string());
    const VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    ASSERT_TRUE(ours.error.empty()) << ours.error;
    ASSERT_TRUE(theirs.error.empty()) << theirs.error;
    ASSERT_EQ(theirs.signals.count("tb.count"), 1u);
    std::string text;
    for (const std::string &line : CompareVcd(ours, theirs)) text += line + "\n";
    EXPECT_TRUE(text.empty()) << text << "(files kept in " << dir_ << ")";
    // Dumping is off from 42 to 62 and from 72 to 82 in both.
    const VcdSignal &count = ours.signals.at("tb.count");
    for (uint64_t t : {42u, 72u}) {
        ASSERT_EQ(count.values.count(t), 1u) << t;
        EXPECT_EQ(count.values.at(t), "xxxxxxxx") << t;
    }
}

}  // namespace
}  // namespace tavri::e2e
