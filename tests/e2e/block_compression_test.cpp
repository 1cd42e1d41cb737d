// The block compression under Icarus Verilog: chosen by TRAX_COMPRESSION or
// +trax+compression+, shown in the status report and by trax info; a bad
// setting falls back to LZO1B with a warning; trax convert between the two
// methods keeps every value that trax vcd exports.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

class BlockCompression : public IcarusTest {
  protected:
    // Simulates a design of wide and narrow registers into `out`, with the
    // status report armed before the file is created.
    Outcome Run(const std::string &out, const std::string &env, const std::string &plusargs) {
        const fs::path design = WriteFile("design.v", R"(
module top;
  reg [63:0] a;
  reg [199:0] b;
  reg [3:0] n;
  reg clk;
  integer i;
  initial begin
    $traxDebug("-ppli");
    $traxDumpfile(`OUT);
    $traxDumpvars;
    a = 0; b = {25{8'ha5}}; n = 0; clk = 0;
    for (i = 0; i < 400; i = i + 1) begin
      #2 clk = ~clk;
      a = {$random, $random};
      b = {b[198:0], b[199] ^ a[3]};
      n = n + 1;
      if (i == 100) b[7] = 1'bx;
      if (i == 200) a[60] = 1'bz;
    end
    #5 $finish;
  end
endmodule
)");
        SimOptions options;
        options.defines = "-DOUT='\"" + Path(out).string() + "\"'";
        options.env = env;
        options.plusargs = plusargs;
        return Simulate(design, out, options);
    }
    std::string Info(const std::string &file) {
        const Outcome info = Trax("info '" + Path(file).string() + "'");
        EXPECT_EQ(info.status, 0) << info.output;
        return info.output;
    }
    std::string Vcd(const std::string &file) {
        const std::string vcd = Path(file + ".vcd").string();
        const Outcome run = Trax("vcd '" + Path(file).string() + "' -o '" + vcd + "'");
        EXPECT_EQ(run.status, 0) << run.output;
        return Slurp(vcd);
    }
    // The export without its $date section: files simulated in different
    // seconds carry different creation dates but must agree on everything else.
    std::string VcdWithoutDate(const std::string &file) {
        std::string vcd = Vcd(file);
        const size_t date = vcd.find("$date");
        const size_t end = date == std::string::npos ? date : vcd.find("$end", date);
        if (end != std::string::npos) vcd.erase(date, end + 4 - date);
        return vcd;
    }
};

TEST_F(BlockCompression, ChosenByEnvironmentOrPlusArgumentAndShown) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    struct Case {
        const char *file, *env, *plusargs, *report, *info;
    };
    const Case cases[] = {
        {"default.trax", "", "", "Block compression  : lzo1b:1", "compression method: 0 (LZO1B)"},
        {"env.trax", "TRAX_COMPRESSION=zstd:7 ", "", "Block compression  : zstd:7",
         "compression method: 1 (zstd)"},
        {"plus.trax", "", "+trax+compression+zstd", "Block compression  : zstd:7",
         "compression method: 1 (zstd)"},
        {"lzo9.trax", "TRAX_COMPRESSION=LZO1B:9 ", "", "Block compression  : lzo1b:9",
         "compression method: 0 (LZO1B)"},
    };
    std::string reference;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const Outcome run = Run(c.file, c.env, c.plusargs);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find(c.report), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Warning"), std::string::npos) << run.output;
        EXPECT_NE(Info(c.file).find(c.info), std::string::npos);
        const Outcome check = Trax("check '" + Path(c.file).string() + "'");
        EXPECT_EQ(check.status, 0) << check.output;
        const std::string vcd = VcdWithoutDate(c.file);
        if (reference.empty()) reference = vcd;
        EXPECT_EQ(vcd, reference);
    }
}

TEST_F(BlockCompression, ABadSettingFallsBackToLzo1bWithAWarning) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    struct Case {
        const char *file, *env, *plusargs, *warning;
    };
    const Case cases[] = {
        {"name.trax", "TRAX_COMPRESSION=gzip ", "",
         "*Tavri* Warning: TRAX_COMPRESSION=gzip is not a block compression (lzo1b[:1-9|99] or "
         "zstd[:1-19]); lzo1b:1 is used."},
        {"level.trax", "", "+trax+compression+zstd:40",
         "*Tavri* Warning: +trax+compression+zstd:40 is not a block compression"},
        {"empty.trax", "TRAX_COMPRESSION=zstd: ", "", "TRAX_COMPRESSION=zstd: is not a block compression"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const Outcome run = Run(c.file, c.env, c.plusargs);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find(c.warning), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("Block compression  : lzo1b:1"), std::string::npos) << run.output;
        EXPECT_NE(Info(c.file).find("compression method: 0 (LZO1B)"), std::string::npos);
    }
}

TEST_F(BlockCompression, ConvertBothWaysKeepsTheExportedValues) {
    if (!HaveIcarus()) GTEST_SKIP() << "Icarus Verilog is not installed";
    ASSERT_EQ(Run("lzo.trax", "", "").status, 0);
    const std::string original = Vcd("lzo.trax");
    const auto convert = [&](const char *in, const char *out, const char *method) {
        const Outcome run = Trax("convert '" + Path(in).string() + "' '" + Path(out).string() +
                                 "' --method " + method);
        EXPECT_EQ(run.status, 0) << run.output;
    };
    convert("lzo.trax", "zstd.trax", "zstd:9");
    EXPECT_NE(Info("zstd.trax").find("compression method: 1 (zstd)"), std::string::npos);
    EXPECT_EQ(Vcd("zstd.trax"), original);
    convert("zstd.trax", "back.trax", "lzo1b");
    EXPECT_EQ(Vcd("back.trax"), original);
    // LZO1B at level 1 is what the simulation wrote: the same bytes again.
    EXPECT_EQ(Slurp(Path("back.trax")), Slurp(Path("lzo.trax")));
    const Outcome check = Trax("check '" + Path("zstd.trax").string() + "'");
    EXPECT_EQ(check.status, 0) << check.output;
}

}  // namespace
}  // namespace tavri::e2e
