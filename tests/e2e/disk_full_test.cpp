// A dump that meets a full disk (a file size limit makes every write past it
// fail): the question on the console is asked once when nobody can answer,
// is not asked in a tight loop while the disk stays full, a stop signal
// still ends the run, and the sessions flushed before the fault read back.
#include <chrono>

#include "icarus_harness.h"
#include "trax_dump_changes.h"

namespace tavri::e2e {
namespace {

// A counter and a wide register, flushed every 1000 ns: the file outgrows a
// 40 KB limit after a few flushes.
constexpr const char *kDesign = R"(`timescale 1ns/1ns
module tb;
  reg clk = 0;
  reg [31:0] count = 0;
  reg [255:0] wide = 0;
  integer i;
  always #5 clk = ~clk;
  always @(posedge clk) begin
    count <= count + 1;
    wide <= {wide[254:0], ^count} ^ {8{count}};
  end
  initial begin
    $traxDumpfile("f.trax");
    $traxDumpvars(0, tb);
    for (i = 0; i < 200; i = i + 1) #1000 $traxDumpflush;
    $finish;
  end
endmodule
)";

constexpr const char *kPrompt = "Would you like to continue ?(y/n)";

size_t Occurrences(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class DiskFull : public IcarusTest {
  protected:
    void SetUp() override {
        IcarusTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        const fs::path design = WriteFile("fill.v", kDesign);
        const Outcome compiled = Shell("iverilog -g2005 -o fill.vvp '" + design.string() + "'", dir_, "compile.log");
        ASSERT_EQ(compiled.status, 0) << compiled.output;
    }

    // The simulation under a 40 KB file size limit (writes past it fail with
    // EFBIG), with standard input from `input` (a shell word or pipeline
    // head); the simulator's output goes to vvp.log.
    std::string Limited(const std::string &input_pipe, const std::string &input_file) const {
        return "ulimit -f 40; trap '' XFSZ; " + input_pipe + "env " + Preload() + "vvp -n -M '" + BuildDir() +
               "' -m tavri fill.vvp " + input_file + " > vvp.log 2>&1";
    }

    // Every change of tb/count must be the counter's true value at its time:
    // returns the number of changes read back.
    size_t CheckCounter() {
        const Outcome dump = Trax("dump '" + Path("f.trax").string() + "'");
        EXPECT_EQ(dump.status, 0) << dump.output;
        const std::vector<std::pair<uint64_t, uint64_t>> changes = VectorChanges(dump.output, "tb/count[31:0]");
        for (const auto &[time, value] : changes) {
            EXPECT_EQ(value, time == 0 ? 0 : (time - 5) / 10 + 1) << "at " << time;
        }
        return changes.size();
    }
};

TEST_F(DiskFull, WithNoAnswerTheRunEndsOnceAndTheFlushedSessionsRead) {
    const auto start = std::chrono::steady_clock::now();
    const Outcome run = Shell("( " + Limited("timeout -s KILL 60 ", "< /dev/null") + " )", dir_, "run.log");
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    const std::string transcript = Slurp(Path("vvp.log"));
    EXPECT_EQ(run.status, 255) << transcript;
    EXPECT_LT(seconds, 10);
    EXPECT_EQ(Occurrences(transcript, kPrompt), 1u) << transcript;
    EXPECT_NE(transcript.find("Give up dump vars, fast file may be incorrect"), std::string::npos) << transcript;
    EXPECT_GT(CheckCounter(), 500u) << "the sessions flushed before the disk was full";
}

TEST_F(DiskFull, RetriesWhileTheDiskStaysFullArePacedAndAStopSignalEndsTheRun) {
    // `yes` answers "y" for ever; after three seconds the run is asked to stop.
    const std::string script = "( " + Limited("yes y | ", "") +
                               " & pid=$!; sleep 3; kill -TERM $pid; "
                               "for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done; "
                               "if kill -0 $pid 2>/dev/null; then echo STILL RUNNING; kill -KILL $pid; fi; "
                               "wait $pid; echo vvp status $? )";
    const Outcome run = Shell(script, dir_, "run.log");
    const std::string transcript = Slurp(Path("vvp.log"));
    EXPECT_EQ(run.output.find("STILL RUNNING"), std::string::npos) << "SIGTERM did not end the run";
    EXPECT_NE(run.output.find("vvp status 255"), std::string::npos) << run.output;
    const size_t prompts = Occurrences(transcript, kPrompt);
    EXPECT_GE(prompts, 2u) << transcript;
    EXPECT_LE(prompts, 5u) << "about one question a second over three seconds";
    EXPECT_GT(CheckCounter(), 500u);
}

}  // namespace
}  // namespace tavri::e2e
