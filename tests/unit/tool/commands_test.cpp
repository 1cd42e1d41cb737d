// The subcommands on the sample file: what info, tree and dump show, the
// dump window and variable choice, usage errors and their exit statuses.
#include <cstdio>

#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

class TraxCommands : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        file_ = PathFor("sample.trax");
        WriteSample(file_);
    }
    std::string file_;
};

TEST_F(TraxCommands, InfoShowsEveryHeaderSectionAndTheEnvironment) {
    const Outcome run = Trax({"info", file_});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    const std::vector<std::string> lines = run.OutLines();
    for (const char *line :
         {"magic number: 0x48d93dfc", "version: 2.3", "file type: 0 (verilog)",
          "endian type: 1 (little)", "pointer length: 4", "xtag type: 0 (64-bit integer)",
          "file status: 0 (finished)", "scale unit: \"10ps\"",
          "simulator version: \"model 1.0\"", "scope separator: \"/\"", "tree count: 1",
          "session count: 2", "max var idcode: 8", "scope creation cnt: 4",
          "var creation cnt: 9", "string count: 2", "dump-off count: 1",
          "maximum xtag: 50 (0 50)", "minimum xtag: 0 (0 0)", "annotation uoff: (0 0)",
          "redundant list uoff: (0 0)", "dump limit: 0", "max dt idcode: 511",
          "writer identification: \"ident_txw_WIN32_D:_5.4_2.3_WIN32/0_cl_05042005\""}) {
        EXPECT_TRUE(Contains(lines, line)) << "missing: " << line << "\n" << run.out;
    }
    // Offsets of a finished file point past the header area, as "(high low)".
    bool chain_found = false;
    for (const std::string &line : lines) {
        unsigned high = 1, low = 0;
        if (std::sscanf(line.c_str(), "chain uoff: (%u %u)", &high, &low) == 2) {
            chain_found = true;
            EXPECT_EQ(high, 0u);
            EXPECT_GT(low, 2816u);
        }
    }
    EXPECT_TRUE(chain_found) << run.out;
    for (const char *field : {"birth time: ", "creation time: ", "host name: ", "settings: ",
                              "bc1 vc creation cnt: ", "vc chain blk cnt: ", "has var dir: ",
                              "special dumping flag (type 4): ", "minimum time step: "}) {
        bool found = false;
        for (const std::string &line : lines) found = found || line.rfind(field, 0) == 0;
        EXPECT_TRUE(found) << "no line starts with " << field;
    }
}

TEST_F(TraxCommands, TreeShowsPathsTypesDirectionsRangesAndAliases) {
    const Outcome run = Trax({"tree", file_});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{
                                  "scope top module",
                                  "var top/clk wire 1 input idcode 1",
                                  "scope top/cpu task",
                                  "var top/cpu/data reg 8 [7:0] output idcode 2",
                                  "var top/cpu/clk wire 1 input idcode 1 alias of top/clk",
                                  "scope top/cpu/blk begin",
                                  "var top/cpu/blk/r real 1 none idcode 3",
                                  "scope top/io function",
                                  "var top/io/msg string 1 none idcode 4",
                                  "var top/io/drive wire 1 inout idcode 5",
                                  "var top/io/flag reg 1 none idcode 6",
                                  "var top/io/count integer 32 [31:0] none idcode 7",
                                  "var top/io/ev event 1 none idcode 8",
                              }));
}

TEST_F(TraxCommands, DumpShowsEveryChangeInTimeOrder) {
    const Outcome run = Trax({"dump", file_});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string count5 = std::string(29, '0') + "101";
    const std::string count6 = std::string(29, '0') + "110";
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{
                                  "0 top/clk 0",
                                  "0 top/cpu/data 00001010",
                                  "0 top/cpu/blk/r 3.25",
                                  "0 top/io/msg \"hello world\"",
                                  "0 top/io/drive 1 (strength 6 5)",
                                  "0 top/io/flag x",
                                  "0 top/io/count " + count5,
                                  "10 top/clk 1",
                                  "10 top/cpu/data 1x0z0000",
                                  "20 top/clk 0",
                                  "20 top/io/msg \"\"",
                                  "20 top/io/ev 1",
                                  "30 $dumpoff",
                                  "40 $dumpon",
                                  "40 top/clk 1",
                                  "40 top/cpu/blk/r -0.5",
                                  "40 top/io/count " + count6,
                                  "50 top/cpu/data 11111111",
                                  "50 top/io/flag 1",
                              }));
}

TEST_F(TraxCommands, DumpTakesChosenVariablesAndATimeWindow) {
    // An alias path and a dotted path choose the same variables.
    Outcome run = Trax({"dump", file_, "--var", "top/cpu/clk", "--var=top.cpu.data", "--from",
                    "10", "--to=40"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"10 top/clk 1", "10 top/cpu/data 1x0z0000",
                                                        "20 top/clk 0", "40 top/clk 1"}));
    run = Trax({"dump", file_, "--from", "41"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(),
              (std::vector<std::string>{"50 top/cpu/data 11111111", "50 top/io/flag 1"}));
    run = Trax({"dump", file_, "--to", "0", "--var", "top/cpu/blk/r"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"0 top/cpu/blk/r 3.25"}));
    run = Trax({"dump", file_, "--from", "51"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
}

TEST_F(TraxCommands, UsageAndInputErrorsGiveOneLineAndStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate", file_},
        {"info"},
        {"dump", file_, "--var"},
        {"dump", file_, "--from", "ten"},
        {"dump", file_, "--from", "9", "--to", "3"},
        {"dump", file_, "--var", "top/nothing"},
        {"vcd", file_},
        {"tree", file_, "--from", "3"},
        {"info", file_, "other.trax"},
        {"info", PathFor("missing.trax")},
        {"vcd", file_, "-o", PathFor("no/such/dir/out.vcd")},
    };
    for (const auto &args : cases) {
        const Outcome run = Trax(args);
        std::string shown;
        for (const std::string &arg : args) shown += arg + " ";
        EXPECT_EQ(run.status, 2) << shown << run.err;
        ASSERT_EQ(run.ErrLines().size(), 1u) << shown << run.err;
        EXPECT_EQ(run.ErrLines()[0].rfind("trax: ", 0), 0u) << run.err;
    }
    const Outcome help = Trax({"help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("trax vcd FILE -o OUT.vcd"), std::string::npos);
}

TEST_F(TraxCommands, ForeignFilesAreInputErrors) {
    const std::string text = PathFor("notes.txt");
    WriteBytes(text, std::vector<uint8_t>(4000, 'a'));
    for (const char *command : {"info", "tree", "dump", "check"}) {
        const Outcome run = Trax({command, text});
        EXPECT_EQ(run.status, 2) << command;
        ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find("not a database file"), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace tavri::tool_test
