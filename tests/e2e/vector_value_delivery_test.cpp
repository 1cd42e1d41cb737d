// Narrow vectors take their value with the value-change callback under
// Icarus Verilog, and the end-of-step read uses the last one delivered: the
// values written must still be the simulator's, x and z included, when a
// vector changes several times in one step, is forced and released, is
// driven by tri-states, or was last set before it was hooked. Vectors just
// past the delivered width are read as before, beside them. Vectors that
// fire a callback per bit stop having their values delivered after a few
// steps: no change may be lost across that.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

class VectorValueDelivery : public IcarusTest {
protected:
    // Dumps `design` with vectors sampled at the end of the step (the
    // default) and written at every change (glitches kept): the last value
    // of each step must agree with the simulator's own VCD.
    void ExpectTheSimulatorsValues(const std::string &design, const std::string &signal) {
        ASSERT_EQ(SimulateDesign(design, false, design + ".vcd").status, 0);
        const VcdFile theirs = ReadVcd(Path(design + ".vcd").string());
        ASSERT_EQ(theirs.error, "");
        ASSERT_GT(theirs.signals.count(signal), 0u);
        struct Case {
            const char *file;
            const char *plusargs;
        };
        for (const Case &c : {Case{"sampled.trax", ""}, Case{"glitches.trax", "+trax_max_glitch+0"}}) {
            SCOPED_TRACE(c.file);
            const std::string file = design + "." + c.file;
            SimOptions options;
            options.defines =
                std::string("-I ") + TAVRI_E2E_DESIGNS + " -DDUMP_TRAX -DOUT='\"" + Path(file).string() + "\"'";
            options.plusargs = c.plusargs;
            const Outcome run = Simulate(fs::path(TAVRI_E2E_DESIGNS) / (design + ".v"), file, options);
            ASSERT_EQ(run.status, 0) << run.output;
            const std::string vcd = Path(file + ".vcd").string();
            const Outcome exported = Trax("vcd '" + Path(file).string() + "' -o '" + vcd + "'");
            ASSERT_EQ(exported.status, 0) << exported.output;
            const VcdFile ours = ReadVcd(vcd);
            ASSERT_EQ(ours.error, "");
            EXPECT_EQ(CompareVcd(ours, theirs), std::vector<std::string>{});
        }
    }
};

TEST_F(VectorValueDelivery, NarrowVectorsKeepTheSimulatorsValues) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    ExpectTheSimulatorsValues("narrow_vectors", "top.w17");
}

TEST_F(VectorValueDelivery, VectorsChangedBitByBitKeepTheSimulatorsValues) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    ExpectTheSimulatorsValues("per_bit_vectors", "top.looped");
}

}  // namespace
}  // namespace tavri::e2e
