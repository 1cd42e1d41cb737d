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

constexpr const char *kDesign = R"(
module top;
  reg [3:0] a = 4'b0000;
  reg [7:0] b;                        // x until first assigned
  reg en = 0;
  reg [3:0] d = 4'b1010;
  wire [3:0] t = en ? d : 4'bz;       // tri-state, z and values
  wire [3:0] t2 = en ? 4'bz : ~d;     // a second driver of the same kind
  wire [3:0] bus;
  assign bus = en ? d : 4'bz;
  assign bus = en ? 4'bz : a;
  wire [5:0] m = {a, 2'bx1} ^ b[5:0]; // partly unknown
  reg [11:0] f = 12'h123;
  wire [15:0] w16 = {a, b, t};        // as wide as a delivered value gets
  wire [16:0] w17 = {1'b1, w16};      // one bit wider: read at step end
  reg [7:0] pb;                       // assigned bit by bit
  reg [2:0] back = 3'b101;            // changes and returns in one step
  integer k;

  initial begin
    #1;
`ifdef DUMP_TRAX
    $traxDumpfile(`OUT); $traxDumpvars;
`else
    $dumpfile(`OUT); $dumpvars;
`endif
  end

  initial begin
    a = 4'b0101;                      // before anything is hooked
    #3 b = 8'b10xz_01zx;
    #2 en = 1; a = 4'bx01z;
    #2 d = 4'bzzzz; d = 4'b0x1z; d = 4'b1100;
    #2 force f = 12'bxxxx_zzzz_0101;
    #2 b = 8'h5a; force t = 4'b1x0z;
    #2 release f; en = 0;
    #2 release t; f = 12'hfff;
    #2 for (k = 0; k < 8; k = k + 1) pb[k] = k[0] ^ a[k % 4];
    #2 back = 3'b010; back = 3'b101;
    #2 back = 3'bx1z; b = 8'bzzzz_zzzz;
    #2 for (k = 0; k < 8; k = k + 1) begin pb[k] = 1'bx; pb[k] = k[1]; end
    #2 a = 4'b1111; a = 4'bxxxx;
    #2 $finish;
  end
endmodule
)";

class VectorValueDelivery : public IcarusTest {};

TEST_F(VectorValueDelivery, NarrowVectorsKeepTheSimulatorsValues) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    const fs::path design = WriteFile("design.v", kDesign);
    SimOptions reference;
    reference.with_tavri = false;
    reference.defines = "-DOUT='\"" + Path("theirs.vcd").string() + "\"'";
    ASSERT_EQ(Simulate(design, "icarus", reference).status, 0);
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
        options.defines = "-DDUMP_TRAX -DOUT='\"" + Path(c.file).string() + "\"'";
        options.plusargs = c.plusargs;
        const Outcome run = Simulate(design, c.file, options);
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
