// $traxDumpStrength under Icarus Verilog: every change of a scalar net is
// recorded, with the strengths of the value that drives it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

class StrengthDump : public IcarusTest {};

TEST_F(StrengthDump, RecordsEveryChangeOfAScalarNetWithItsStrengths) {
    const Outcome run = SimulateDesign("strengths", true, "ours.trax");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("not supported"), std::string::npos) << run.output;
    const Outcome dump = Trax("dump '" + Path("ours.trax").string() + "'");
    ASSERT_EQ(dump.status, 0) << dump.output;
    // Strength levels: 6 strong, 3 weak.
    for (const char *line :
         {"5 tb/w 1 (strength 6 6)", "10 tb/w 0 (strength 6 6)", "30 tb/w 0 (strength 6 6)",
          "31 tb/mixed 1 (strength 6 6)", "32 tb/mixed 1 (strength 3 3)", "33 tb/mixed 0 (strength 6 6)",
          "35 tb/mixed x (strength 6 6)", "36 tb/mixed 0 (strength 3 3)"}) {
        EXPECT_NE(dump.output.find(std::string(line) + "\n"), std::string::npos) << line << " in\n" << dump.output;
    }
    // w follows the clock: its value at time 0 and six changes.
    std::istringstream lines(dump.output);
    int changes_of_w = 0;
    for (std::string line; std::getline(lines, line);) {
        changes_of_w += line.find(" tb/w ") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(changes_of_w, 7) << dump.output;
}

}  // namespace
}  // namespace tavri::e2e
