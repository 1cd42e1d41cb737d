// $traxDumplimit under Icarus Verilog: a run long enough to take the 10 MB
// ring round several times keeps a file inside the limit that agrees with
// the simulator's own VCD from the file's first time on; a time step bigger
// than the ring enlarges the limit, says so, and keeps the step.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

constexpr uint64_t kMB = 1u << 20;

// 16 buses of 64 random bits and two random bits, new every nanosecond for
// STEPS steps; a step of BIG_CHANGES changes of one bus at BIG_AT when
// given. Dumped from time 0 by Tavri under $traxDumplimit(LIMIT), or by the
// simulator from time FROM.
constexpr const char *kDesign = R"(`timescale 1ns/1ns
module ring_tb;
  reg [63:0] b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15;
  reg s0, s1;
  initial begin
`ifdef DUMP_TRAX
    $traxDumplimit(`LIMIT);
    $traxDumpfile("ring.trax");
    $traxDumpvars;
`else
    #(`FROM) $dumpfile("theirs.vcd");
    $dumpvars;
`endif
  end
  initial begin
    repeat (`STEPS) begin
      #1;
      b0 = {$random, $random}; b1 = {$random, $random}; b2 = {$random, $random}; b3 = {$random, $random};
      b4 = {$random, $random}; b5 = {$random, $random}; b6 = {$random, $random}; b7 = {$random, $random};
      b8 = {$random, $random}; b9 = {$random, $random}; b10 = {$random, $random}; b11 = {$random, $random};
      b12 = {$random, $random}; b13 = {$random, $random}; b14 = {$random, $random}; b15 = {$random, $random};
      s0 = $random; s1 = $random;
`ifdef BIG_AT
      if ($time == `BIG_AT) repeat (`BIG_CHANGES) b0 = {$random, $random};
`endif
    end
    $finish;
  end
endmodule
)";

struct RingHeader {
    uint32_t dump_limit = 0;
    uint64_t minimum_time = 0;
    uint32_t first_valid_chain_block = 0;
    uint8_t file_status = 0xFF;
};

RingHeader ReadRingHeader(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(512);
    RingHeader header;
    if (!in.read(bytes.data(), 512)) return header;
    auto u32 = [&](size_t at) {
        uint32_t value;
        std::memcpy(&value, bytes.data() + at, 4);
        return value;
    };
    header.dump_limit = u32(420);
    header.minimum_time = (static_cast<uint64_t>(u32(312)) << 32) | u32(316);
    header.first_valid_chain_block = u32(424);
    header.file_status = static_cast<uint8_t>(bytes[504]);
    return header;
}

// Keeps what a file says from `from` on: each signal's value at `from` (its
// last one at or before it) and its later values.
void KeepFrom(VcdFile &file, uint64_t from) {
    for (auto &[path, signal] : file.signals) {
        auto &values = signal.values;
        auto first_after = values.upper_bound(from);
        if (first_after != values.begin()) {
            const std::string at_from = std::prev(first_after)->second;
            values.erase(values.begin(), first_after);
            values[from] = at_from;
        }
    }
}

class DumpLimitUnderIcarus : public IcarusTest {
  protected:
    Outcome RunTavri(const std::string &defines, const std::string &plusargs = "") {
        const fs::path design = WriteFile("ring_tb.v", kDesign);
        SimOptions options;
        options.defines = "-DDUMP_TRAX " + defines;
        options.plusargs = plusargs;
        options.timeout_seconds = 600;
        return Simulate(design, "tavri", options);
    }

    // `trax vcd` of the ring file against the simulator's VCD of the same
    // run, both from the file's first time on.
    void CompareWithSimulator(const std::string &defines, uint64_t from) {
        const Outcome exported =
            Trax("vcd '" + Path("ring.trax").string() + "' -o '" + Path("ours.vcd").string() + "'");
        ASSERT_EQ(exported.status, 0) << exported.output;
        SimOptions options;
        options.with_tavri = false;
        options.defines = defines + " -DFROM=" + std::to_string(from);
        options.timeout_seconds = 600;
        const Outcome reference = Simulate(Path("ring_tb.v"), "icarus", options);
        ASSERT_EQ(reference.status, 0) << reference.output;
        VcdFile ours = ReadVcd(Path("ours.vcd").string());
        VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
        ASSERT_EQ(ours.error, "");
        ASSERT_EQ(theirs.error, "");
        KeepFrom(ours, from);
        KeepFrom(theirs, from);
        EXPECT_EQ(CompareVcd(ours, theirs), std::vector<std::string>{});
    }

    // The reader's own checks of the ring (sessions apart, blocks inside the
    // wrap limit, redundant ranges inside the chain) pass on the file.
    void ExpectCheckPasses() {
        const Outcome checked = Trax("check '" + Path("ring.trax").string() + "'");
        EXPECT_EQ(checked.status, 0) << checked.output;
        EXPECT_NE(checked.output.find(": ok"), std::string::npos) << checked.output;
    }
};

TEST_F(DumpLimitUnderIcarus, LongRunStaysInsideTheLimitAndKeepsTheLastStretch) {
    const std::string defines = "-DLIMIT=10 -DSTEPS=220000";
    const Outcome run = RunTavri(defines);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Set TRAX file size limit to 10MB."), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Dumplimit size"), std::string::npos) << "no enlargement: " << run.output;
    EXPECT_LE(fs::file_size(Path("ring.trax")), 10 * kMB);
    const RingHeader header = ReadRingHeader(Path("ring.trax"));
    EXPECT_EQ(header.file_status, 0);
    EXPECT_EQ(header.dump_limit, 10u);
    EXPECT_GT(header.first_valid_chain_block, 0u) << "sessions were given up";
    // About 200 bytes a step: 220000 steps are over 40 MB, the ring came
    // round more than three times and keeps less than a third of the run.
    EXPECT_GT(header.minimum_time, 150000u);
    ExpectCheckPasses();
    CompareWithSimulator(defines, header.minimum_time);
}

TEST_F(DumpLimitUnderIcarus, ATimeStepBiggerThanTheRingEnlargesItAndIsKept) {
    // Every change of the big step is recorded: no glitch limit.
    const std::string defines = "-DLIMIT=10 -DSTEPS=400 -DBIG_AT=300 -DBIG_CHANGES=1500000";
    const Outcome run = RunTavri(defines, "+trax_max_glitch+0");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Dumplimit size too small."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("There are too many value changes in a timestep."), std::string::npos);
    EXPECT_NE(run.output.find("Dumplimit size enlarged to 20 MB."), std::string::npos);
    const RingHeader header = ReadRingHeader(Path("ring.trax"));
    EXPECT_EQ(header.file_status, 0);
    EXPECT_EQ(header.dump_limit, 20u);
    EXPECT_LE(fs::file_size(Path("ring.trax")), 20 * kMB);
    EXPECT_LE(header.minimum_time, 300u) << "the big step is in the file";
    ExpectCheckPasses();
    CompareWithSimulator(defines, header.minimum_time);
}

}  // namespace
}  // namespace tavri::e2e
