// The value-change path under Icarus Verilog: vectors that change once per
// time step and vectors that change several times in one (per-bit drivers,
// per-bit blocking assignments) are recorded with their final value, and the
// values do not depend on how often the bounded value-change memory flushes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

constexpr const char *kDesign = R"(
module lane (input clk, input [31:0] seed);
  reg [15:0] once;
  wire [15:0] per_bit;
  reg [15:0] looped;
  reg s;
  integer k;
  genvar g;
  generate for (g = 0; g < 16; g = g + 1) begin : drv
    assign per_bit[g] = seed[(g * 3) % 32] ^ clk;
  end endgenerate
  always @(posedge clk) begin once <= seed[15:0] ^ seed[31:16]; s <= ^seed; end
  always @(seed) begin
    looped = 16'h0;
    for (k = 0; k < 16; k = k + 1) looped[k] = seed[k] & seed[k + 16];
  end
endmodule

module top;
  reg clk = 0;
  reg [31:0] lfsr = 32'h1;
  genvar c;
  generate for (c = 0; c < 32; c = c + 1) begin : u
    lane i (.clk(clk), .seed(lfsr ^ (c * 32'h9e3779b9)));
  end endgenerate
  always #5 clk = ~clk;
  always @(posedge clk) lfsr <= {lfsr[30:0], lfsr[31] ^ lfsr[21] ^ lfsr[1] ^ lfsr[0]};
  initial begin
`ifdef DUMP_TRAX
    $traxDumpfile(`OUT); $traxDumpvars;
`else
    $dumpfile(`OUT); $dumpvars;
`endif
    #15000 $finish;
  end
endmodule
)";

class ValueChangePath : public IcarusTest {
  protected:
    VcdFile Exported(const std::string &file) {
        const std::string vcd = Path(file + ".vcd").string();
        const Outcome run = Trax("vcd '" + Path(file).string() + "' -o '" + vcd + "'");
        EXPECT_EQ(run.status, 0) << run.output;
        return ReadVcd(vcd);
    }
    int Sessions(const std::string &file) {
        const std::string info = Trax("info '" + Path(file).string() + "'").output;
        const std::string label = "session count: ";
        const size_t at = info.find(label);
        return at == std::string::npos ? -1 : std::stoi(info.substr(at + label.size()));
    }
};

TEST_F(ValueChangePath, VectorsKeepTheirFinalValueWhateverTheFlushes) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    const fs::path design = WriteFile("design.v", kDesign);
    SimOptions reference;
    reference.with_tavri = false;
    reference.defines = "-DOUT='\"" + Path("theirs.vcd").string() + "\"'";
    ASSERT_EQ(Simulate(design, "icarus", reference).status, 0);
    const VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    ASSERT_EQ(theirs.error, "");

    // The same run with a large memory, the default one (which follows the
    // number of variables) and the smallest one.
    int sessions[3] = {0, 0, 0};
    const char *files[3] = {"large.trax", "default.trax", "small.trax"};
    const char *envs[3] = {"TRAX_ENV_WRITER_MEM_LIMIT=64 ", "", "TRAX_ENV_WRITER_MEM_LIMIT=2 "};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(files[i]);
        SimOptions options;
        options.defines = "-DDUMP_TRAX -DOUT='\"" + Path(files[i]).string() + "\"'";
        options.env = envs[i];
        const Outcome run = Simulate(design, files[i], options);
        ASSERT_EQ(run.status, 0) << run.output;
        const VcdFile ours = Exported(files[i]);
        ASSERT_EQ(ours.error, "");
        EXPECT_EQ(CompareVcd(ours, theirs), std::vector<std::string>{});
        sessions[i] = Sessions(files[i]);
    }
    EXPECT_GE(sessions[0], 1);
    EXPECT_GT(sessions[2], sessions[0]) << "the small memory flushed more often";
}

}  // namespace
}  // namespace tavri::e2e
