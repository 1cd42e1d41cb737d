// trax diff between a run dumped by Tavri and the simulator's own VCD: the
// same run agrees in every signal (vectors, a real, an event, dumping
// switched off and on), and a run with a fault is found where it goes wrong.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

constexpr char kDesign[] = R"(`timescale 1ns/1ps
module tb;
  reg clk = 0;
  reg [7:0] count = 0;
  reg [3:0] nib = 0;
  real gain = 0.5;
  event tick;
  always #5 clk = ~clk;
  always @(posedge clk) begin
`ifdef FAULT
    count <= count == 6 ? 8'bx : count + 1;
`else
    count <= count + 1;
`endif
    nib <= count[3:0];
    gain = gain * 1.5;
    -> tick;
  end
  initial begin
`ifdef TRAX
    $traxDumpfile("run.trax"); $traxDumpvars;
    #32 $traxDumpoff; #20 $traxDumpon;
`else
    $dumpfile(`OUT); $dumpvars;
    #32 $dumpoff; #20 $dumpon;
`endif
    #50 $finish;
  end
endmodule
)";

class TraxDiffUnderIcarus : public IcarusTest {
  protected:
    void Run(const std::string &tag, const std::string &defines, bool with_tavri) {
        SimOptions options;
        options.with_tavri = with_tavri;
        options.defines = defines;
        const Outcome run = Simulate(Path("tb.v"), tag, options);
        ASSERT_EQ(run.status, 0) << run.output;
    }
};

TEST_F(TraxDiffUnderIcarus, ADumpAgreesWithTheSimulatorsVcdUntilARunGoesWrong) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    WriteFile("tb.v", kDesign);
    Run("ours", "-DTRAX", true);
    Run("same", "-DOUT='\"same.vcd\"'", false);
    Run("fault", "-DFAULT -DOUT='\"fault.vcd\"'", false);
    const std::string ours = "'" + Path("run.trax").string() + "'";
    const std::string same = "'" + Path("same.vcd").string() + "'";
    const std::string fault = "'" + Path("fault.vcd").string() + "'";

    Outcome diff = Trax("diff " + ours + " " + same);
    EXPECT_EQ(diff.status, 0) << diff.output;
    EXPECT_NE(diff.output.find("no differences in 5 signals"), std::string::npos) << diff.output;
    diff = Trax("diff " + same + " " + ours);
    EXPECT_EQ(diff.status, 0) << diff.output;

    // count goes x at 65 ns; dumping is off from 32 to 52 ns.
    diff = Trax("diff " + ours + " " + fault + " --limit 1");
    EXPECT_EQ(diff.status, 1) << diff.output;
    EXPECT_NE(diff.output.find("time unit: 1ps\n"
                               "first difference at 65000:\n"
                               "  tb.count: A 00000111, B xxxxxxxx\n"
                               "difference at 75000:\n"
                               "  tb.count: A 00001000, B xxxxxxxx\n"
                               "  tb.nib: A 0111, B xxxx\n"
                               "more differences follow"),
              std::string::npos)
        << diff.output;
}

}  // namespace
}  // namespace tavri::e2e
