// Designs simulated twice under Icarus Verilog: once dumped by the
// simulator's own VCD writer, once by Tavri through its VPI module. The VCD
// that `trax vcd` makes of our file must agree with the simulator's on the
// value of every signal at the end of every time step.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

class IcarusDesign : public IcarusTest, public ::testing::WithParamInterface<const char *> {
  protected:
    // Compiles and runs the design; returns the simulator's output.
    std::string SimulateDesign(bool with_tavri, const std::string &out) {
        const fs::path design = fs::path(TAVRI_E2E_DESIGNS) / (std::string(GetParam()) + ".v");
        SimOptions options;
        options.with_tavri = with_tavri;
        options.defines = std::string("-I ") + TAVRI_E2E_DESIGNS + (with_tavri ? " -DDUMP_TRAX" : "") + " -DOUT='\"" +
                          Path(out).string() + "\"'";
        const Outcome run = Simulate(design, out, options);
        EXPECT_EQ(run.status, 0) << run.output;
        return run.output;
    }
};

TEST_P(IcarusDesign, OurFileAgreesWithTheSimulatorsVcd) {
    const std::string transcript = SimulateDesign(true, "ours.trax");
    EXPECT_NE(transcript.find("*Tavri* Create TRAX file"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("Error"), std::string::npos) << transcript;
    SimulateDesign(false, "theirs.vcd");
    const Outcome exported = Trax("vcd '" + Path("ours.trax").string() + "' -o '" + Path("ours.vcd").string() + "'");
    ASSERT_EQ(exported.status, 0) << exported.output;
    const VcdFile ours = ReadVcd(Path("ours.vcd").string());
    const VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    ASSERT_TRUE(ours.error.empty()) << ours.error;
    ASSERT_TRUE(theirs.error.empty()) << theirs.error;
    ASSERT_FALSE(theirs.signals.empty());
    const std::vector<std::string> differences = CompareVcd(ours, theirs);
    std::string text;
    for (const std::string &line : differences) {
        text += line + "\n";
    }
    EXPECT_TRUE(differences.empty()) << text << "(files kept in " << dir_ << ")";
}

INSTANTIATE_TEST_SUITE_P(Designs, IcarusDesign,
                         ::testing::Values("counter_fsm", "wide_buses", "variables", "scopes", "glitches",
                                           "dump_window", "long_time"));

}  // namespace
}  // namespace tavri::e2e
