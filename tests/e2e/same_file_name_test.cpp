// Two simulations that dump to the same file name at once, in the same
// directory: the one that starts second must leave the first one's file
// alone and write a numbered file of its own.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "icarus_harness.h"
#include "trax_dump_changes.h"

namespace tavri::e2e {
namespace {

// A counter dumped to a.trax; half way the run waits for a line on standard
// input, so that the test decides when it goes on.
constexpr const char *kLongRun = R"(`timescale 1ns/1ns
module tb;
  reg clk = 0;
  reg [31:0] count = 0;
  integer c;
  always #5 clk = ~clk;
  always @(posedge clk) count <= count + 1;
  initial begin
    $traxDumpfile("a.trax");
    $traxDumpvars(0, tb);
    #1000 $traxDumpflush;
    c = $fgetc(32'h8000_0000);
    #1000 $finish;
  end
endmodule
)";

constexpr const char *kShortRun = R"(`timescale 1ns/1ns
module short;
  reg [3:0] nibble = 0;
  always #3 nibble = nibble + 1;
  initial begin
    $traxDumpfile("a.trax");
    $traxDumpvars(0, short);
    #100 $finish;
  end
endmodule
)";

class SameFileName : public IcarusTest {
  protected:
    // Opens the FIFO for writing once the simulation has it open for reading.
    int OpenFifoWriter(const fs::path &fifo) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            const int file = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (file >= 0) {
                return file;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
};

TEST_F(SameFileName, TheSecondRunTakesANumberedNameAndTheFirstRunsDataIsWhole) {
    const fs::path long_design = WriteFile("long.v", kLongRun);
    const fs::path short_design = WriteFile("short.v", kShortRun);
    const fs::path fifo = Path("go");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    Outcome long_run;
    std::thread first([&] {
        SimOptions options;
        options.stdin_from = fifo.string();
        long_run = Simulate(long_design, "long", options);
    });
    const int go = OpenFifoWriter(fifo);
    ASSERT_GE(go, 0) << "the first run never started";
    // The first run has its file once the lock file beside it exists.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(Path("a.trax.lock")) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(fs::exists(Path("a.trax.lock")));

    const Outcome short_run = Simulate(short_design, "short");
    ASSERT_EQ(::write(go, "\n", 1), 1);
    ::close(go);
    first.join();

    EXPECT_EQ(short_run.status, 0) << short_run.output;
    EXPECT_NE(short_run.output.find("*Tavri* Warning: Another simulation is writing the TRAX file(a.trax) now.\n"),
              std::string::npos)
        << short_run.output;
    EXPECT_NE(short_run.output.find("*Tavri* Warning: Create a new TRAX file(a_000.trax) instead.\n"),
              std::string::npos)
        << short_run.output;
    EXPECT_EQ(long_run.status, 0) << long_run.output;
    for (const char *file : {"a.trax", "a_000.trax"}) {
        const Outcome check = Trax(std::string("check '") + Path(file).string() + "'");
        EXPECT_EQ(check.status, 0) << file << ": " << check.output;
    }
    // The first run's counter, every change of it from start to end.
    const Outcome dump = Trax("dump '" + Path("a.trax").string() + "'");
    ASSERT_EQ(dump.status, 0) << dump.output;
    const std::vector<std::pair<uint64_t, uint64_t>> counts = VectorChanges(dump.output, "tb/count[31:0]");
    ASSERT_EQ(counts.size(), 201u) << "the value at 0 and 200 rising edges";
    for (size_t i = 1; i < counts.size(); ++i) {
        EXPECT_EQ(counts[i], std::make_pair(uint64_t{10 * i - 5}, uint64_t{i})) << i;
    }
    const Outcome names = Trax("dump '" + Path("a_000.trax").string() + "'");
    EXPECT_NE(names.output.find("short/nibble"), std::string::npos) << names.output;
}

}  // namespace
}  // namespace tavri::e2e
