// Narrow vectors take their value with the value-change callback under
// Icarus Verilog, and the end-of-step read uses the last one delivered: the
// values written must still be the simulator's, x and z included, when a
// vector changes several times in one step, is forced and released, is
// driven by tri-states, or was last set before it was hooked. Vectors just
// past the delivered width are read as before, beside them. Vectors that
// fire a callback per bit stop having their values delivered after a few
// steps: no change may be lost across that. Reads come in the order of the
// deliveries, except when two files dump the same vectors: each file must
// still get each vector's own value.
#include <gtest/gtest.h>

#include <set>
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

// Narrow vectors at the top and in an instance, changing every cycle; one
// file dumps everything, a second one (opened later, so sampled first at
// the end of each step) the instance only.
constexpr const char *kTwoFilesDesign = R"(
module top;
  reg clk = 0;
  reg [3:0] a = 0;
  reg [7:0] b = 8'h01;
  reg [11:0] c = 12'h005;
  sub u (.clk(clk), .x(a));
  always #5 clk = ~clk;
  always @(posedge clk) begin
    a <= a + 1;
    b <= {b[6:0], b[7] ^ b[3]};
    c <= c * 3 + 1;
  end
  initial begin
`ifdef DUMP_TRAX
    $traxDumpvarsToFile("all.sc", "all.trax");
    $traxDumpvarsToFile("sub.sc", "sub.trax");
`else
    $dumpfile(`OUT);
    $dumpvars(0, top);
`endif
    #200 $finish;
  end
endmodule
module sub(input clk, input [3:0] x);
  reg [5:0] y = 0;
  reg [3:0] z = 0;
  always @(posedge clk) begin
    y <= y + x;
    z <= x ^ 4'b1010;
  end
endmodule
)";

TEST_F(VectorValueDelivery, TwoFilesOfTheSameVectorsEachKeepTheSimulatorsValues) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    const fs::path design = WriteFile("two.v", kTwoFilesDesign);
    WriteFile("all.sc", "top\n");
    WriteFile("sub.sc", "top.u\n");

    SimOptions theirs_options;
    theirs_options.with_tavri = false;
    theirs_options.defines = "-DOUT='\"" + Path("theirs.vcd").string() + "\"'";
    ASSERT_EQ(Simulate(design, "theirs", theirs_options).status, 0);
    SimOptions ours_options;
    ours_options.defines = "-DDUMP_TRAX";
    const Outcome ours_run = Simulate(design, "ours", ours_options);
    ASSERT_EQ(ours_run.status, 0) << ours_run.output;

    const VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    ASSERT_EQ(theirs.error, "");
    // The instance's file leaves out the top's own signals and scope.
    std::set<std::string> outside_the_instance{"top"};
    for (const auto &[path, signal] : theirs.signals) {
        if (path.rfind("top.u.", 0) != 0) {
            outside_the_instance.insert(path);
        }
    }
    struct Case {
        const char *file;
        std::set<std::string> ignore;
    };
    for (const Case &c : {Case{"all", {}}, Case{"sub", outside_the_instance}}) {
        SCOPED_TRACE(c.file);
        const std::string vcd = Path(std::string(c.file) + ".vcd").string();
        const Outcome exported = Trax("vcd '" + Path(std::string(c.file) + ".trax").string() + "' -o '" + vcd + "'");
        ASSERT_EQ(exported.status, 0) << exported.output;
        const VcdFile ours = ReadVcd(vcd);
        ASSERT_EQ(ours.error, "");
        ASSERT_GT(ours.signals.count("top.u.y"), 0u);
        EXPECT_EQ(CompareVcd(ours, theirs, 50, c.ignore), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace tavri::e2e
