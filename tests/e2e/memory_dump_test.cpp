// $traxDumpMem and $traxDumpMemNow under Icarus Verilog: a testbench writes
// two RAMs (one declared ascending, one descending and wider than 32 bits,
// with x and z bits) over time and dumps them at chosen times; after each
// dump it prints the dumped cells to a log one time unit later. Every value
// the file records must be what the log shows for that cell at that time,
// and every logged cell must hold in the file the value the log shows.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "icarus_harness.h"
#include "trax_dump_changes.h"

namespace tavri::e2e {
namespace {

class MemoryDump : public IcarusTest {};

constexpr const char kDesign[] = R"(
module tb;
  reg [7:0] up [0:15];
  reg [39:0] down [7:0];
  integer i, log;
  task show_up(input integer lo, input integer hi);
    for (i = lo; i <= hi; i = i + 1) $fdisplay(log, "tb/up[%0d] %0d %b", i, $time - 1, up[i]);
  endtask
  task show_down(input integer lo, input integer hi);
    for (i = lo; i <= hi; i = i + 1) $fdisplay(log, "tb/down[%0d] %0d %b", i, $time - 1, down[i]);
  endtask
  initial begin
    log = $fopen("cells.log");
    $traxDumpfile("ours.trax");
    for (i = 0; i < 16; i = i + 1) up[i] = i * 3;
    for (i = 0; i < 8; i = i + 1) down[i] = {32'h89abcdef + i, 8'b01xz01xz};
    $traxDumpMemNow(up);
    $traxDumpMemNow(down);
    #1 show_up(0, 15); show_down(0, 7);
    #9 up[3] = 8'haa; down[5] = 40'hzzzz_xxxx_01;
    $traxDumpMem(up, 2, 3);
    $traxDumpMem(up, 6, 2);
    up[4] = 8'h55;  // after the requests: the end of the step counts
    $traxDumpMem(down, 5);
    #1 show_up(2, 7); show_down(5, 5);
    #9 for (i = 0; i < 16; i = i + 1) up[i] = up[i] + 1;
    down[1] = 40'h1;
    $traxDumpMemNow(down, 6, 5);  // runs past the end: cells 6 and 7
    $traxDumpMem(up);
    #1 show_up(0, 15); show_down(6, 7);
    #9 for (i = 0; i < 8; i = i + 1) down[i] = ~down[i];
    $traxDumpMem(down);
    down[2] = 40'bx;
    #1 show_down(0, 7);
    #9 $fclose(log);
    $finish;
  end
endmodule
)";

using Changes = DumpChanges;

// The value recorded for `path` at `time` (its last change up to then).
std::string ValueAt(const Changes &changes, const std::string &path, uint64_t time) {
    std::string value = "(none)";
    auto found = changes.find(path);
    if (found == changes.end()) return value;
    for (const auto &[at, recorded] : found->second) {
        if (at <= time) value = recorded;
    }
    return value;
}

TEST_F(MemoryDump, RecordedCellsAreWhatTheDesignPrints) {
    const Outcome run = Simulate(WriteFile("ram.v", kDesign), "ram");
    ASSERT_EQ(run.signal, 0) << run.output;
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("$traxDumpMemNow - The end index of memory cell is out of range."), std::string::npos)
        << run.output;
    const Outcome dump = Trax("dump '" + Path("ours.trax").string() + "'");
    ASSERT_EQ(dump.status, 0) << dump.output;
    const Changes recorded = ChangesByPath(dump.output);

    // What the design printed: (path, time) -> value.
    std::map<std::pair<std::string, uint64_t>, std::string> printed;
    std::istringstream log(Slurp(Path("cells.log")));
    std::string path;
    uint64_t time = 0;
    std::string value;
    while (log >> path >> time >> value) printed[{path, time}] = value;
    ASSERT_EQ(printed.size(), 16u + 8u + 6u + 1u + 16u + 2u + 8u);

    for (const auto &[where, shown] : printed) {
        EXPECT_EQ(ValueAt(recorded, where.first, where.second), shown) << where.first << " at " << where.second;
    }
    int cell_changes = 0;
    for (const auto &[name, changes] : recorded) {
        if (name.find("up[") == std::string::npos && name.find("down[") == std::string::npos) continue;
        if (name.find(':') != std::string::npos) continue;  // the depth variables
        for (const auto &[at, bits] : changes) {
            ++cell_changes;
            auto shown = printed.find({name, at});
            ASSERT_NE(shown, printed.end()) << name << " recorded at " << at << " when nothing was dumped";
            EXPECT_EQ(bits, shown->second) << name << " at " << at;
        }
    }
    // Unchanged cells are not recorded again; the rest are, once a dump.
    EXPECT_EQ(cell_changes, 16 + 8 + 3 + 16 + 8) << dump.output;

    // The depth variables: the ranges dumped, merged within a step.
    const auto up_ranges = recorded.find("tb/up[0:15]");
    ASSERT_NE(up_ranges, recorded.end()) << dump.output;
    EXPECT_EQ(up_ranges->second, (std::vector<std::pair<uint64_t, std::string>>{{0, "0:15"}, {10, "2:7"}, {20, "0:15"}}));
    const auto down_ranges = recorded.find("tb/down[7:0]");
    ASSERT_NE(down_ranges, recorded.end()) << dump.output;
    EXPECT_EQ(down_ranges->second,
              (std::vector<std::pair<uint64_t, std::string>>{{0, "0:7"}, {10, "5:5"}, {20, "6:7"}, {30, "0:7"}}));

    const Outcome tree = Trax("tree '" + Path("ours.trax").string() + "'");
    ASSERT_EQ(tree.status, 0) << tree.output;
    for (const char *line : {"var tb/up[0:15] memrange 2 [0:1] none", "var tb/up[3] memcell 8 [7:0] none",
                             "var tb/down[7:0] memrange 2 [0:1] none", "var tb/down[7] memcell 40 [39:0] none"}) {
        EXPECT_NE(tree.output.find(line), std::string::npos) << line << " in\n" << tree.output;
    }
    const Outcome vcd = Trax("vcd '" + Path("ours.trax").string() + "' -o '" + Path("ours.vcd").string() + "'");
    ASSERT_EQ(vcd.status, 0) << vcd.output;
    const std::string text = Slurp(Path("ours.vcd"));
    EXPECT_NE(text.find(" up[3] [7:0] $end"), std::string::npos) << text;
    EXPECT_NE(text.find("s2:7 "), std::string::npos) << text;
}

}  // namespace
}  // namespace tavri::e2e
