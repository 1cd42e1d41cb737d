// trax vcd --follow on a simulation that runs: the design flushes its file
// and then stands still, reading a character from its standard input (a FIFO the
// test writes), so the test sees what the stream holds while the run is in
// the middle. The stream ends by itself when the run ends, and equals the
// export of the finished file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

constexpr int kPhases = 3;

const char kDesign[] = R"(`timescale 1ns/1ns
module counter (input clk, input rst, output reg [7:0] count, output reg odd);
  always @(posedge clk)
    if (rst) begin count <= 0; odd <= 0; end
    else begin count <= count + 1'b1; odd <= ~odd; end
endmodule

module top;
  reg clk = 0, rst = 1;
  real level = 0.0;
  wire [7:0] count;
  wire odd;
  integer phase, c;
  counter u (.clk(clk), .rst(rst), .count(count), .odd(odd));
  always #5 clk = ~clk;
  always @(posedge clk) level = level + 0.25;
  initial begin
    $traxDumpfile("live.trax");
    $traxDumpvars;
    #12 rst = 0;
    for (phase = 1; phase <= 3; phase = phase + 1) begin
      #1000 $traxDumpflush;
      c = $fgetc(32'h8000_0000);  // the run stands still until the test writes
    end
    #100 $finish;
  end
endmodule
)";

class VcdFollowRun : public IcarusTest {};

// Waits up to `seconds` for the file to hold `text`.
bool WaitFor(const fs::path &file, const std::string &text, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Slurp(file).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The write end of the FIFO, once the simulation opened its read end.
int OpenWriteEnd(const fs::path &fifo, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, 0);
            return fd;
        }
        if (errno != ENXIO) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

TEST_F(VcdFollowRun, StreamsARunningSimulationAndEndsWithIt) {
    const fs::path design = WriteFile("follow.v", kDesign);
    const fs::path fifo = Path("input.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path stream = Path("stream.vcd");

    // Started first, it waits for the run to create the file.
    Outcome follow;
    std::thread follower([&] {
        follow = Shell("timeout -s KILL 60 '" + TraxPath() + "' vcd live.trax -o stream.vcd --follow", dir_,
                       "follow.log");
    });
    Outcome run;
    std::thread simulation([&] {
        SimOptions options;
        options.stdin_from = fifo.string();
        run = Simulate(design, "follow", options);
    });

    void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);  // a run that died must not end the test
    const int input = OpenWriteEnd(fifo, 30);
    EXPECT_GE(input, 0) << "the simulation did not open its input";
    for (int phase = 1; phase <= kPhases && input >= 0; ++phase) {
        // The run stands still after its flush at phase * 1000 + 12: the
        // stream has got there without it finishing.
        const std::string time = "#" + std::to_string(phase * 1000 - 100) + "\n";
        EXPECT_TRUE(WaitFor(stream, time, 20)) << "phase " << phase << ": no " << time << Slurp(stream);
        EXPECT_EQ(Slurp(stream).find("#" + std::to_string(phase * 1000 + 100) + "\n"), std::string::npos);
        EXPECT_EQ(::write(input, "g", 1), 1);  // one character: one $fgetc
    }
    if (input >= 0) ::close(input);
    simulation.join();
    follower.join();
    std::signal(SIGPIPE, previous);

    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(follow.status, 0) << follow.output;  // ended by itself, not by the timeout
    const Outcome exported = Trax("vcd live.trax -o final.vcd");
    ASSERT_EQ(exported.status, 0) << exported.output;
    const std::string streamed = Slurp(stream);
    EXPECT_EQ(streamed, Slurp(Path("final.vcd")));
    EXPECT_NE(streamed.find("#3100\n"), std::string::npos);
}

}  // namespace
}  // namespace tavri::e2e
