// Interactive mode under Icarus Verilog: a design that calls
// $traxInteractive, run with +traxfile+ naming a dump_i.trax file, tells a
// debugger through the numbered notices on the transcript what it does.
// Icarus has no Tcl prompt and no interactive-stop callback; the Tcl
// commands and the stops are covered with the model simulator.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

constexpr const char kMarker[] = "\nHalvern Prompt\n";

constexpr const char kDesign[] = R"(
`timescale 1ns/1ps
module tavri_vlog;
  initial $traxInteractive;
endmodule
module leaf(input clk); reg q = 0; always @(posedge clk) q <= ~q; endmodule
module tb;
  reg clk = 0;
  reg [3:0] count = 0;
  leaf u(.clk(clk));
  always #5 clk = ~clk;
  initial begin
    #1 $traxDumpvars(0, tb);
    repeat (4) #10 count = count + 1;
    #10 $finish;
  end
endmodule
)";

// Payload lines after the code line, by notice code.
int PayloadLines(int code) {
    switch (code) {
        case 1: case 2: case 24: case 32: return 0;
        case 6: case 23: return 2;
        default: return 1;
    }
}

// Every notice of the output, as its text: the marker, then the code and
// its payload, one a line.
std::vector<std::string> NoticesIn(const std::string &output) {
    std::vector<std::string> notices;
    for (size_t at = output.find(kMarker); at != std::string::npos; at = output.find(kMarker, at + 1)) {
        std::istringstream lines(output.substr(at + sizeof kMarker - 1));
        std::string line;
        if (!std::getline(lines, line)) break;
        std::string notice = line + "\n";
        for (int i = PayloadLines(std::atoi(line.c_str())); i > 0 && std::getline(lines, line); --i) {
            notice += line + "\n";
        }
        notices.push_back(notice);
    }
    return notices;
}

class InteractiveNotices : public IcarusTest {};

TEST_F(InteractiveNotices, ADumpIRunTellsTheDebuggerWhatItDoes) {
    SimOptions options;
    options.plusargs = "+traxfile+dump_i.trax";
    const Outcome run = Simulate(WriteFile("interactive.v", kDesign), "interactive", options);
    ASSERT_EQ(run.signal, 0) << run.output;
    ASSERT_EQ(run.status, 0) << run.output;

    std::vector<std::string> notices = NoticesIn(run.output);
    // The process id is the run's own: check its shape, then take it out.
    for (std::string &notice : notices) {
        if (notice.rfind("31\n", 0) == 0) {
            EXPECT_NE(notice.find_first_of("0123456789", 3), std::string::npos) << notice;
            notice = "31\npid\n";
        }
    }
    const std::vector<std::string> expected = {
        "25\n4300\n", "31\npid\n", "33\n1\n",  // options start-up
        "25\n4300\n", "31\npid\n",             // file creation
        "3\ndump_i.trax\n",                    // the file exists
        "6\n0\n0\n",                           // interactive start
        "32\n",       "23\n0\ntb\n",           // $traxDumpvars at 1
        "6\n0\n51000\n", "1\n",                // the finish, in 1ps ticks
    };
    EXPECT_EQ(notices, expected) << run.output;
    EXPECT_NE(run.output.find("MTI_RESOLUTION_REPORT -9 \n"), std::string::npos) << run.output;

    const Outcome check = Trax("check '" + Path("dump_i.trax").string() + "'");
    EXPECT_EQ(check.status, 0) << check.output;
    const Outcome tree = Trax("tree '" + Path("dump_i.trax").string() + "'");
    ASSERT_EQ(tree.status, 0) << tree.output;
    EXPECT_NE(tree.output.find("var tb/u/q "), std::string::npos) << tree.output;
}

TEST_F(InteractiveNotices, WithoutTheDebuggerFileNoNoticeIsSent) {
    SimOptions options;
    options.plusargs = "+traxfile+plain.trax";
    const Outcome run = Simulate(WriteFile("plain.v", kDesign), "plain", options);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find(kMarker), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("MTI_RESOLUTION_REPORT -9 \n"), std::string::npos) << run.output;
    const Outcome check = Trax("check '" + Path("plain.trax").string() + "'");
    EXPECT_EQ(check.status, 0) << check.output;
}

}  // namespace
}  // namespace tavri::e2e
