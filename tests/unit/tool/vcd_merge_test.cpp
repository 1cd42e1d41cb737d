// trax vcd on a file with several trees that repeat scopes and name
// variables again (as repeated $traxDumpvars calls make them): one
// hierarchy, each variable declared once per scope and name, and a value
// stored twice at one time written once.
#include <algorithm>
#include <sstream>

#include "tavri/trax_reader.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

// One tree per entry: "+name" opens a scope, "-" ends one, and
// "name idcode [type left bytes-per-bit-code]" names a variable (a wire
// scalar by default). Later trees repeat scopes and name variables again,
// as repeated $traxDumpvars calls make them.
const std::vector<std::vector<std::string>> kTrees = {
    {"+top", "clk 1", "r 2 3 0 3", "+sub", "x[3:0] 3 4 3", "-", "-"},
    {"+top", "clk 1", "clk_n 1", "+sub", "x[3:0] 3 4 3", "-", "-"},
    {"+top", "+sub", "y 4", "-", "-", "+other", "z 5", "-"},
};

// The trees above; changes at 0: clk 0, r 1.5, x 0000; a flush; at 0 again
// r 1.5 (the same value, in the next session) and clk 1 (a new value); at
// 10: r 2.5.
void WriteTrees(const std::string &path) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    for (const std::vector<std::string> &tree : kTrees) {
        ASSERT_TRUE(txw_BeginTree(obj));
        for (const std::string &item : tree) {
            if (item[0] == '+') {
                Scope(obj, item.c_str() + 1);
            } else if (item == "-") {
                ASSERT_EQ(txw_EndScope(obj), 0);
            } else {
                std::istringstream words(item);
                std::string name;
                int idcode = 0, type = 0, left = 0, bpb = 0;
                words >> name >> idcode;
                if (!(words >> type)) type = 15;
                words >> left >> bpb;
                ASSERT_EQ(txw_CreateVarByVarIdcode(obj, static_cast<uint8_t>(type), 0, 0, left, 0,
                                                   idcode, name.c_str(), static_cast<uint8_t>(bpb)),
                          idcode)
                    << item;
            }
        }
        ASSERT_EQ(txw_EndTree(obj), 0);
    }
    const uint8_t zero = 0, one = 1;
    const uint8_t nibble[5] = {0, 0, 0, 0, 0};
    const double first = 1.5, later = 2.5;
    txw_CreateXCoor(obj, 0, 0);
    txw_CreateVarValueByIdcode(obj, 1, &zero, 1);
    txw_CreateVarValueByIdcode(obj, 2, &first, 1);
    txw_CreateVarValueByIdcode(obj, 3, nibble, 4);
    ASSERT_EQ(txw_Flush(obj), 0);
    txw_CreateVarValueByIdcode(obj, 2, &first, 1);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    txw_CreateXCoor(obj, 0, 10);
    txw_CreateVarValueByIdcode(obj, 2, &later, 1);
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

class TraxVcdMerge : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        WriteTrees(PathFor("trees.trax"));
        const Outcome run = Trax({"vcd", PathFor("trees.trax"), "-o", "-"});
        ASSERT_EQ(run.status, 0) << run.err;
        lines_ = run.OutLines();
    }
    std::vector<std::string> lines_;
};

TEST_F(TraxVcdMerge, TreesBecomeOneHierarchy) {
    EXPECT_EQ(VcdDefinitions(lines_), (std::vector<std::string>{
                               "$scope module top $end",
                               "$var wire 1 \" clk $end",
                               "$var real 64 # r $end",
                               "$var wire 1 \" clk_n $end",
                               "$scope module sub $end",
                               "$var reg 4 $ x [3:0] $end",
                               "$var wire 1 % y $end",
                               "$upscope $end",
                               "$upscope $end",
                               "$scope module other $end",
                               "$var wire 1 & z $end",
                               "$upscope $end",
                           }));
}

TEST_F(TraxVcdMerge, AValueStoredTwiceAtOneTimeIsWrittenOnce) {
    const auto start = std::find(lines_.begin(), lines_.end(), "#0");
    ASSERT_NE(start, lines_.end());
    // A new value at the same time stays: clk 0 then 1.
    EXPECT_EQ(std::vector<std::string>(start, lines_.end()),
              (std::vector<std::string>{"#0", "0\"", "r1.5 #", "b0000 $", "1\"", "#10", "r2.5 #"}));
}

}  // namespace
}  // namespace tavri::tool_test
