// Designs simulated twice under Icarus Verilog: once dumped by the
// simulator's own VCD writer, once by Tavri through its VPI module. The VCD
// that `trax vcd` makes of our file must agree with the simulator's on how
// every scope and signal is declared and on the value of every signal at the
// end of every time step; the run must not warn.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

class IcarusDesign : public IcarusTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(IcarusDesign, OurFileAgreesWithTheSimulatorsVcd) {
    std::string transcript;
    const std::string differences = DifferencesFromSimulator(GetParam(), &transcript);
    EXPECT_NE(transcript.find("*Tavri* Create TRAX file"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("Error"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("Warning"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("WARNING"), std::string::npos) << transcript;
    EXPECT_EQ(differences, "") << "(files kept in " << dir_ << ")";
}

INSTANTIATE_TEST_SUITE_P(Designs, IcarusDesign,
                         ::testing::Values("counter_fsm", "wide_buses", "variables", "scopes", "glitches",
                                           "dump_window", "long_time", "declarations",
                                           "generate_blocks", "strengths"));

}  // namespace
}  // namespace tavri::e2e
