// +trax+dumpon+ under Icarus Verilog: the time counts from the first
// $traxDumpvars, in the time unit of the module that calls it, and real
// notation of a whole number is taken at its value.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

class DumpTimesUnderIcarus : public IcarusTest {};

TEST_F(DumpTimesUnderIcarus, DumpOnCountsFromTheFirstDumpvarsInItsTimeUnit) {
    const fs::path design = WriteFile("late_start.v", R"(`timescale 1us/1ns
module tb;
  reg clk = 0;
  always #1 clk = ~clk;
  initial begin
    #3 $traxDumpfile("late.trax");
    $traxDumpvars;
    #20 $finish;
  end
endmodule
)");
    for (const char *time : {"5", "0.5e1"}) {
        SCOPED_TRACE(time);
        SimOptions options;
        options.plusargs = std::string("+trax+dumpon+") + time;
        const Outcome run = Simulate(design, "late", options);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output.find("Warning"), std::string::npos) << run.output;
        const Outcome exported =
            Trax("vcd '" + Path("late.trax").string() + "' -o '" + Path("late.vcd").string() + "'");
        ASSERT_EQ(exported.status, 0) << exported.output;
        const VcdFile vcd = ReadVcd(Path("late.vcd").string());
        ASSERT_TRUE(vcd.error.empty()) << vcd.error;
        ASSERT_EQ(vcd.signals.count("tb.clk"), 1u);
        const auto &values = vcd.signals.at("tb.clk").values;
        ASSERT_FALSE(values.empty());
        EXPECT_EQ(values.begin()->first, 8000u) << "3 us + 5 us, in ns ticks";
    }
}

}  // namespace
}  // namespace tavri::e2e
