// trax diff: the first time step at which two dumps differ, found at the
// first and the last step, in x and z, in reals, strings and events;
// paths found in one file only; the window and the limit; databases
// compared with VCD files of other time units and identifier codes.
#include <fstream>

#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

constexpr char kHeader[] =
    "$timescale 1ns $end\n$scope module top $end\n$var wire 1 ! s $end\n$var reg 4 \" v [3:0] $end\n"
    "$var real 64 # r $end\n$var event 1 $ e $end\n$upscope $end\n$enddefinitions $end\n";

class TraxDiff : public ToolTest {
  protected:
    std::string Vcd(const std::string &name, const std::string &text) {
        const std::string path = PathFor(name);
        std::ofstream(path) << text;
        return path;
    }
    // Runs trax diff on two VCD files made of kHeader and the bodies.
    Outcome Diff(const std::string &a, const std::string &b, std::vector<std::string> options = {}) {
        std::vector<std::string> args{"diff", Vcd("a.vcd", kHeader + a), Vcd("b.vcd", kHeader + b)};
        args.insert(args.end(), options.begin(), options.end());
        return Trax(args);
    }
    // The report without the A:, B: and time unit lines.
    static std::vector<std::string> Report(const Outcome &run) {
        std::vector<std::string> lines = run.OutLines();
        return lines.size() >= 3 ? std::vector<std::string>(lines.begin() + 3, lines.end()) : lines;
    }
};

constexpr char kBase[] = "#0\n0!\nb0000 \"\nr0.5 #\n#10\n1!\nb0001 \"\n#20\n0!\n1$\n#30\nb0010 \"\nr1.5 #\n";

TEST_F(TraxDiff, FindsTheFirstDifferenceAtTheFirstTheLastAndAMiddleStep) {
    struct Case {
        const char *what;
        std::string b;
        std::vector<std::string> report;
    };
    const std::vector<Case> cases = {
        {"the same", kBase, {"no differences in 4 signals"}},
        {"at the first step",
         "#0\n0!\nb1000 \"\nr0.5 #\n#10\n1!\nb0001 \"\n#20\n0!\n1$\n#30\nb0010 \"\nr1.5 #\n",
         {"first difference at 0:", "  top.v: A 0000, B 1000"}},
        {"at the last step",
         "#0\n0!\nb0000 \"\nr0.5 #\n#10\n1!\nb0001 \"\n#20\n0!\n1$\n#30\nb0011 \"\nr1.5 #\n",
         {"first difference at 30:", "  top.v: A 0010, B 0011"}},
        {"a last step of its own", std::string(kBase) + "#40\n1!\n",
         {"first difference at 40:", "  top.s: A 0, B 1"}},
        {"x against 0",
         "#0\nx!\nb0000 \"\nr0.5 #\n#10\n1!\nb0001 \"\n#20\n0!\n1$\n#30\nb0010 \"\nr1.5 #\n",
         {"first difference at 0:", "  top.s: A 0, B x"}},
        {"z against x in one bit",
         "#0\n0!\nb0000 \"\nr0.5 #\n#10\n1!\nb0001 \"\n#20\n0!\n1$\n#30\nb001z \"\nr1.5 #\n",
         {"first difference at 30:", "  top.v: A 0010, B 001z"}},
        {"a real", "#0\n0!\nb0000 \"\nr0.5 #\n#10\n1!\nb0001 \"\n#20\n0!\n1$\n#30\nb0010 \"\nr1.5000001 #\n",
         {"first difference at 30:", "  top.r: A 1.5, B 1.5000001"}},
        {"an event at another time",
         "#0\n0!\nb0000 \"\nr0.5 #\n#10\n1!\nb0001 \"\n1$\n#20\n0!\n#30\nb0010 \"\nr1.5 #\n",
         {"first difference at 10:", "  top.e: A (none), B event", "difference at 20:",
          "  top.e: A event, B (none)"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome run = Diff(kBase, c.b);
        if (c.report.size() == 1) {
            EXPECT_EQ(run.status, 0) << run.out << run.err;
            EXPECT_EQ(Report(run), c.report);
            continue;
        }
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_EQ(Report(run), c.report) << run.out;
    }
}

TEST_F(TraxDiff, ValuesCompareAtTheEndOfTheStepAndInTheirOwnForms) {
    // Shorter vectors extend, a value replaced in its step counts as its
    // last one, reals compare as numbers and identifiers need not agree.
    const std::string b =
        "$timescale 1 ns $end\n$scope module top $end\n$var real 1 R r $end\n$var wire 1 S s $end\n"
        "$var reg 4 V v[3:0] $end\n$var event 1 E e $end\n$upscope $end\n$enddefinitions $end\n"
        "#0\n$dumpvars\n1S\n0S\nb0 V\nr0.50000000000000000 R\n$end\n#10\n1S\nb1 V\n#20\n0S\n1E\n#30\nb10 V\nr1.5e0 R\n";
    const Outcome run = Trax({"diff", Vcd("a.vcd", kHeader + std::string(kBase)), Vcd("b.vcd", b)});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"no differences in 4 signals"}));
}

TEST_F(TraxDiff, WhileDumpingIsOffRealsHaveNoValueAndEventsDoNotOccur) {
    // A simulator writes NaN for a real in its $dumpoff section and lists
    // an event in its $dumpon section; the dumper writes 0 and the event
    // when dumping goes off. Neither is a difference; an event after the
    // switch is.
    const std::string simulator = "#0\n0!\nb0 \"\nr0.5 #\n#10\n$dumpoff\nx!\nbx \"\nrNaN #\n$end\n"
                                  "#20\n$dumpon\n1!\nb1 \"\nr2 #\n1$\n$end\n#30\n1$\n";
    const std::string dumper = "#0\n0!\nb0 \"\nr0.5 #\n#10\n$dumpoff\nx!\nbx \"\n$end\nr0 #\n1$\n"
                               "#20\n$dumpon\n1!\nb1 \"\nr2 #\n$end\n#30\n1$\n";
    Outcome run = Diff(simulator, dumper);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    run = Diff(simulator, dumper.substr(0, dumper.size() - 3));
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"first difference at 30:", "  top.e: A event, B (none)"}));
}

TEST_F(TraxDiff, NamesPathsFoundInOneFileOnlyAndSignalsDeclaredDifferently) {
    const std::string a = Vcd("a.vcd",
                              "$timescale 1ns $end\n$scope module top $end\n$var wire 1 ! s $end\n"
                              "$var wire 1 \" only_a $end\n$var reg 4 # w [3:0] $end\n$upscope $end\n"
                              "$enddefinitions $end\n#0\n0!\n0\"\nb0 #\n");
    const std::string b = Vcd("b.vcd",
                              "$timescale 1ns $end\n$scope module top $end\n$var wire 1 ! s $end\n"
                              "$scope module sub $end\n$var wire 1 \" only_b $end\n$upscope $end\n"
                              "$var reg 8 # w [7:0] $end\n$upscope $end\n$enddefinitions $end\n#0\n0!\n0\"\nb0 #\n");
    Outcome run = Trax({"diff", a, b});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"only in A: top.only_a", "only in B: top.sub.only_b",
                                                     "declared differently: top.w: A 4 bits, B 8 bits"}));
    // --var takes a signal or a scope, with dots or slashes.
    run = Trax({"diff", a, b, "--var", "top.s"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    run = Trax({"diff", a, b, "--var", "top/sub"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"only in B: top.sub.only_b"}));
}

TEST_F(TraxDiff, FromToAndLimitBoundTheReport) {
    // v differs from 20 to 40 and again at 70; s from 50 on.
    const std::string a = "#0\n0!\nb0000 \"\n#10\n#20\nb0001 \"\n#30\nb0010 \"\n#40\nb0011 \"\n#50\nb0000 \"\n"
                          "#60\n#70\nb0001 \"\n";
    const std::string b = "#0\n0!\nb0000 \"\n#20\nb1001 \"\n#30\nb1010 \"\n#40\nb1011 \"\n#50\nb0000 \"\n1!\n"
                          "#70\nb1001 \"\n";
    struct Case {
        std::vector<std::string> options;
        int status;
        std::vector<std::string> report;
    };
    const std::vector<Case> cases = {
        {{"--limit", "1"}, 1,
         {"first difference at 20:", "  top.v: A 0001, B 1001", "difference at 30:", "  top.v: A 0010, B 1010",
          "more differences follow (a larger --limit shows them)"}},
        {{"--limit", "0", "--from", "35"}, 1,
         {"first difference at 35:", "  top.v: A 0010, B 1010",
          "more differences follow (a larger --limit shows them)"}},
        {{"--from", "45", "--to", "60"}, 1,
         {"first difference at 45:", "  top.v: A 0011, B 1011", "difference at 50:", "  top.s: A 0, B 1"}},
        {{"--to", "19"}, 0, {"no differences in 4 signals"}},
        {{"--var", "top.v", "--from", "50", "--to", "69"}, 0, {"no differences in 1 signals"}},
        {{"--var", "top.v", "--from", "50"}, 1, {"first difference at 70:", "  top.v: A 0001, B 1001"}},
        {{"--from", "200"}, 1, {"first difference at 200:", "  top.s: A 0, B 1", "  top.v: A 0001, B 1001"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        const Outcome run = Diff(a, b, c.options);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_EQ(Report(run), c.report) << run.out;
    }
}

TEST_F(TraxDiff, ADatabaseEqualsItsExportInAnotherTimeUnitAndNotAChangedOne) {
    const std::string trax = PathFor("sample.trax");
    WriteSample(trax);
    const std::string vcd = PathFor("sample.vcd");
    ASSERT_EQ(Trax({"vcd", trax, "-o", vcd}).status, 0);
    // The sample has aliases, a real, a string, an event, a strength byte,
    // vectors with ranges and dumping switched off and on.
    Outcome run = Trax({"diff", trax, vcd});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"no differences in 9 signals"}));
    // Chosen signals still go to x while dumping is off.
    run = Trax({"diff", trax, vcd, "--var", "top/io", "--var", "top.clk"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"no differences in 6 signals"}));

    // The same export in 1ps, its times ten times larger: the same waves.
    std::string text = ReadFile(vcd);
    std::string scaled;
    for (const std::string &line : Lines(text)) {
        if (line == "\t10ps") {
            scaled += "\t1ps\n";
        } else if (line.starts_with("#")) {
            scaled += line + (line == "#0" ? "" : "0") + "\n";
        } else {
            scaled += line + "\n";
        }
    }
    run = Trax({"diff", trax, Vcd("scaled.vcd", scaled)});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.OutLines().at(2), "time unit: 1ps");

    // The string at 20 changed, in the escaped form of the export.
    const size_t at = text.find("s %\n");
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, 4, "sbye\\x20now %\n");
    run = Trax({"diff", trax, Vcd("changed.vcd", text)});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"first difference at 20:",
                                                     "  top.io.msg: A \"\", B \"bye now\""}));
}

TEST_F(TraxDiff, VariablesThatShareANameKeepTheirRanges) {
    const std::string a = Vcd("a.vcd",
                              "$timescale 1ns $end\n$scope module top $end\n$var wire 1 ! d [0] $end\n"
                              "$var wire 1 \" d [1] $end\n$var reg 1 # one [3:3] $end\n$upscope $end\n"
                              "$enddefinitions $end\n#0\n0!\n1\"\n1#\n");
    const std::string b = Vcd("b.vcd",
                              "$timescale 1ns $end\n$scope module top $end\n$var wire 1 a d[1] $end\n"
                              "$var wire 1 b d[0] $end\n$var reg 1 c one [3] $end\n$upscope $end\n"
                              "$enddefinitions $end\n#0\n0a\n0b\n1c\n");
    const Outcome run = Trax({"diff", a, b});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"first difference at 0:", "  top.d[1]: A 1, B 0"}));
}

TEST_F(TraxDiff, LongFilesAreReadAsStreams) {
    // A million steps in each file, the last one different: found, with
    // memory that does not hold the files' changes.
    constexpr int kSteps = 1000000;
    const std::string a = PathFor("a.vcd"), b = PathFor("b.vcd");
    {
        // Written in a block of its own: what the test holds counts in the
        // child's peak until it starts trax.
        std::string body = "#0\n0!\nb0 \"\nr0 #\n";
        body.reserve(static_cast<size_t>(kSteps) * 20);
        for (int t = 1; t < kSteps; ++t) {
            body += '#';
            body += std::to_string(t);
            body += t % 2 != 0 ? "\n1!\nb1010 \"\n" : "\n0!\nb0101 \"\n";
        }
        std::ofstream(a) << kHeader << body << "#" << kSteps << "\n1!\n";
        std::ofstream(b) << kHeader << body << "#" << kSteps << "\nx!\n";
    }
    const Outcome run = Trax({"diff", a, b}, TraxOptions{{}, 120});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(Report(run), (std::vector<std::string>{"first difference at " + std::to_string(kSteps) + ":",
                                                     "  top.s: A 1, B x"}));
    EXPECT_GT(std::filesystem::file_size(a), 16u << 20);
#if !defined(__SANITIZE_ADDRESS__)
    // Under the address sanitizer the resident size is mostly its shadow
    // memory and the quarantine of freed blocks, not what trax holds.
    EXPECT_LT(run.peak_rss_kb, 16 * 1024);
#endif
}

TEST_F(TraxDiff, RefusesWhatItCannotCompare) {
    const std::string good = Vcd("good.vcd", kHeader + std::string(kBase));
    struct Case {
        const char *what;
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"one file", {"diff", good}, "trax: diff needs two files: trax diff A B (trax help shows the usage)"},
        {"a missing file", {"diff", good, PathFor("none.vcd")}, "none.vcd"},
        {"a signal in neither", {"diff", good, good, "--var", "top.nothing"},
         "trax: no signal top.nothing in " + good + " or " + good},
        {"a bad limit", {"diff", good, good, "--limit", "many"}, "--limit takes a whole number"},
        {"units that do not convert",
         {"diff", good, Vcd("odd.vcd", "$timescale 3 furlongs $end\n$enddefinitions $end\n#0\n")},
         "cannot compare times in '1ns'"},
        {"a broken body", {"diff", good, Vcd("broken.vcd", kHeader + std::string("#0\n0!\n#ten\n"))},
         "broken.vcd:11: a time '#ten'"},
        {"an undeclared identifier", {"diff", good, Vcd("undeclared.vcd", kHeader + std::string("#0\n0?\n"))},
         "a value for the undeclared identifier '?'"},
        {"time going back", {"diff", good, Vcd("back.vcd", kHeader + std::string("#5\n0!\n#3\n1!\n"))},
         "time goes back from 5 to 3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome run = Trax(c.args);
        EXPECT_EQ(run.status, 2) << run.out << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace tavri::tool_test
