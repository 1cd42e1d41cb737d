// A run that finishes its dump file and then dumps the design again into a
// second file: the second file's variables are hooked anew while the first
// file's hooks are gone (the binding reuses their links and the entries that
// keep narrow vectors' delivered values), and its values must be the
// simulator's own from the moment it starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

// Scalars, narrow vectors (their values come with the callbacks, one of
// them bit by bit), a wide vector and a net; they change between the two
// files, and the simulator's VCD starts where the second file does.
constexpr const char *kDesign = R"(
module top;
  reg clk;
  reg s;
  reg [3:0] n4;
  reg [11:0] n12;
  reg [39:0] w40;
  reg [7:0] by_bit;
  wire [3:0] reversed = {n4[0], n4[1], n4[2], n4[3]};
  integer i;
  always #5 clk = ~clk;
  always @(posedge clk) begin
    s <= ~s;
    n4 <= n4 + 1;
    n12 <= n12 * 3 + 1;
    w40 <= {w40[38:0], ~w40[39]};
    for (i = 0; i < 8; i = i + 1) by_bit[i] = ~by_bit[i] ^ n4[i % 4];
  end
  initial begin
    clk = 0; s = 0; n4 = 0; n12 = 1; w40 = 0; by_bit = 0;
`ifdef DUMP_TRAX
    $traxDumpfile("first.trax");
    $traxDumpvars(0, top);
    #52 $traxDumpFinish;
    // The vectors change at 55, while nothing is hooked.
    #6 $traxDumpfile(`OUT);
    $traxDumpvars(0, top);
`else
    #58 $dumpfile(`OUT);
    $dumpvars(0, top);
`endif
    #100 $finish;
  end
endmodule
)";

class DumpAgain : public IcarusTest {};

TEST_F(DumpAgain, SecondFileAfterAFinishedOneHasTheSimulatorsValues) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    const fs::path design = WriteFile("again.v", kDesign);

    SimOptions theirs_options;
    theirs_options.with_tavri = false;
    theirs_options.defines = "-DOUT='\"" + Path("theirs.vcd").string() + "\"'";
    const Outcome theirs_run = Simulate(design, "theirs", theirs_options);
    ASSERT_EQ(theirs_run.status, 0) << theirs_run.output;

    SimOptions ours_options;
    ours_options.defines = "-DDUMP_TRAX -DOUT='\"" + Path("second.trax").string() + "\"'";
    const Outcome ours_run = Simulate(design, "ours", ours_options);
    ASSERT_EQ(ours_run.status, 0) << ours_run.output;

    const Outcome exported =
        Trax("vcd '" + Path("second.trax").string() + "' -o '" + Path("second.vcd").string() + "'");
    ASSERT_EQ(exported.status, 0) << exported.output;
    const VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    const VcdFile ours = ReadVcd(Path("second.vcd").string());
    ASSERT_EQ(theirs.error, "");
    ASSERT_EQ(ours.error, "");
    ASSERT_GT(theirs.signals.count("top.n4"), 0u);
    EXPECT_EQ(CompareVcd(ours, theirs), std::vector<std::string>{});
}

}  // namespace
}  // namespace tavri::e2e
