// The binding keeps the names of the design's objects packed in chunks of
// 16 KB and answers later questions from them: in a design whose names fill
// several chunks, signals named in $traxDumpvars are found when their names
// were kept long before (the first ones looked at, once the whole scope was
// listed), and every one is written under its own name with the value the
// simulator gave it.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

class ManyNames : public IcarusTest {};

std::string RegName(int i) {
    std::string digits = std::to_string(i);
    return "register_named_at_some_length_" + std::string(4 - digits.size(), '0') + digits;
}

TEST_F(ManyNames, NamesKeptAcrossTheChunksOfTheNameStoreAreFound) {
    constexpr int kRegs = 1200;  // 35-character names: 42 KB in all
    // The last one first: finding it keeps every name of the scope.
    const int named[] = {kRegs - 1, 0, 1, 467, 468, 935, 936};
    std::string design = "module tb;\n";
    for (int i = 0; i < kRegs; ++i) {
        design += "  reg [3:0] " + RegName(i) + " = " + std::to_string(i % 16) + ";\n";
    }
    design += "  initial begin\n    $traxDumpfile(\"ours.trax\");\n";
    for (const int i : named) {
        design += "    $traxDumpvars(1, \"tb." + RegName(i) + "\");\n";
    }
    design += "    #1 $finish;\n  end\nendmodule\n";
    const Outcome run = Simulate(WriteFile("names.v", design), "names");
    ASSERT_EQ(run.signal, 0) << run.output;
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("Cannot find"), std::string::npos) << run.output;

    const Outcome dump = Trax("dump '" + Path("ours.trax").string() + "'");
    ASSERT_EQ(dump.status, 0) << dump.output;
    for (const int i : named) {
        std::string bits;
        for (int bit = 3; bit >= 0; --bit) {
            bits += (i % 16 >> bit & 1) != 0 ? '1' : '0';
        }
        const std::string line = "0 tb/" + RegName(i) + "[3:0] " + bits;
        EXPECT_NE(dump.output.find(line), std::string::npos) << line << " in\n" << dump.output;
    }
}

}  // namespace
}  // namespace tavri::e2e
