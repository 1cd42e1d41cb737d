// Narrow vectors take their value with the value-change callback under
// Icarus Verilog, and the end-of-step read uses the last one delivered: the
// values written must still be the simulator's, x and z included, when a
// vector changes several times in one step, is forced and released, is
// driven by tri-states, or was last set before it was hooked. Vectors just
// past the delivered width are read as before, beside them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

class VectorValueDelivery : public IcarusTest {};

TEST_F(VectorValueDelivery, NarrowVectorsKeepTheSimulatorsValues) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    ASSERT_EQ(SimulateDesign("narrow_vectors", false, "theirs.vcd").status, 0);
    const VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    ASSERT_EQ(theirs.error, "");
    ASSERT_GT(theirs.signals.count("top.w17"), 0u);

    // Vectors sampled at the end of the step (the default), and written at
    // every change (glitches kept): the last value of each step must agree.
    struct Case {
        const char *file;
        const char *plusargs;
    };
    for (const Case &c : {Case{"sampled.trax", ""}, Case{"glitches.trax", "+trax_max_glitch+0"}}) {
        SCOPED_TRACE(c.file);
        SimOptions options;
        options.defines =
            std::string("-I ") + TAVRI_E2E_DESIGNS + " -DDUMP_TRAX -DOUT='\"" + Path(c.file).string() + "\"'";
        options.plusargs = c.plusargs;
        const Outcome run = Simulate(fs::path(TAVRI_E2E_DESIGNS) / "narrow_vectors.v", c.file, options);
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string vcd = Path(std::string(c.file) + ".vcd").string();
        const Outcome exported = Trax("vcd '" + Path(c.file).string() + "' -o '" + vcd + "'");
        ASSERT_EQ(exported.status, 0) << exported.output;
        const VcdFile ours = ReadVcd(vcd);
        ASSERT_EQ(ours.error, "");
        EXPECT_EQ(CompareVcd(ours, theirs), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace tavri::e2e
