// $traxDebug under Icarus Verilog: a trace file of every simulator call the
// dumper makes, each with its arguments and result in the trace's line
// formats, while the dump itself comes out as without tracing.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

constexpr const char kDesign[] = R"(`timescale 1ns/1ns
module tb;
  reg clk = 0;
  reg [7:0] count = 0;
  wire [7:0] twice = count * 2;
  wire low = count[0];
  real level = 0.0;
  integer steps = 0;
  event tick;
  leaf u (.a(low), .q());
  initial begin
`ifdef TRACE
    $traxDebug(`TRACE);
`endif
    $traxDumpfile(`OUT);
    $traxDumpvars(0, tb);
    repeat (12) #5 clk = ~clk;
    $finish;
  end
  always @(posedge clk) begin
    count <= count + 3;
    level <= level + 0.25;
    steps <= steps + 1;
    -> tick;
  end
endmodule
module leaf(input a, output reg q);
  always @(a) q = ~a;
endmodule
)";

// The shape of one traced routine's lines: its arguments' kinds and its
// result's kind. Kinds: "int", "handle", "void", "char" (a string), "fun",
// or a pointer type name; result "none" for routines without one.
struct Shape {
    std::vector<std::string> args;
    std::string result;
};

const std::map<std::string, Shape> &Shapes() {
    static const std::map<std::string, Shape> shapes = {
        {"tf_exprinfo", {{"int", "s_tfexprinfo"}, "s_tfexprinfo"}},
        {"tf_getcstringp", {{"int"}, "char"}},
        {"tf_mipname", {{}, "char"}},
        {"tf_nodeinfo", {{"int", "t_tfnodeinfo"}, "t_tfnodeinfo"}},
        {"tf_nump", {{}, "int"}},
        {"tf_setdelay", {{"int"}, "int"}},
        {"tf_setlongdelay", {{"int", "int"}, "int"}},
        {"tf_irosynchronize", {{}, "int"}},
        {"tf_rosynchronize", {{}, "int"}},
        {"tf_typep", {{"int"}, "int"}},
        {"acc_compare_handles", {{"handle", "handle"}, "int"}},
        {"acc_fetch_defname", {{"handle"}, "char"}},
        {"acc_fetch_direction", {{"handle"}, "int"}},
        {"acc_fetch_fullname", {{"handle"}, "char"}},
        {"acc_fetch_fulltype", {{"handle"}, "int"}},
        {"acc_fetch_name", {{"handle"}, "char"}},
        {"acc_fetch_range", {{"handle", "int*", "int*"}, "int"}},
        {"acc_fetch_size", {{"handle"}, "int"}},
        {"acc_fetch_type", {{"handle"}, "int"}},
        {"acc_fetch_type_str", {{"int"}, "char"}},
        {"acc_fetch_value", {{"handle", "void", "t_acc_value"}, "char*"}},
        {"acc_handle_by_name", {{"char", "handle"}, "handle"}},
        {"acc_handle_hiconn", {{"handle"}, "handle"}},
        {"acc_handle_scope", {{"handle"}, "handle"}},
        {"acc_handle_simulated_net", {{"handle"}, "handle"}},
        {"acc_handle_tfarg", {{"int"}, "handle"}},
        {"acc_next", {{"int*", "handle", "handle"}, "handle"}},
        {"acc_next_bit", {{"handle", "handle"}, "handle"}},
        {"acc_next_port", {{"handle", "handle"}, "handle"}},
        {"acc_next_scope", {{"handle", "handle"}, "handle"}},
        {"acc_next_topmod", {{"handle"}, "handle"}},
        {"acc_object_of_type", {{"handle", "int"}, "int"}},
        {"acc_vcl_add", {{"handle", "fun", "void", "int"}, "none"}},
        {"acc_vcl_delete", {{"handle", "fun", "void", "int"}, "none"}},
    };
    return shapes;
}

const std::string kAddress = "(0x[0-9a-f]+|NULL)";

std::regex ArgPattern(int n, const std::string &kind) {
    const std::string head = "\tArg " + std::to_string(n) + " ";
    if (kind == "int") return std::regex(head + "\\(int\\)=-?[0-9]+");
    if (kind == "char") return std::regex(head + "\\(char \\*\\)=(0x[0-9a-f]+ \".*\"|NULL)");
    if (kind == "fun") return std::regex(head + "\\(int \\(\\*Fun\\)\\(\\)\\)=" + kAddress);
    if (kind == "handle") return std::regex(head + "\\(handle\\)=" + kAddress);
    if (kind == "int*") return std::regex(head + "\\(int \\*\\)=" + kAddress);
    return std::regex(head + "\\(" + kind + " \\*\\)=" + kAddress);
}

std::regex ResultPattern(const std::string &kind) {
    if (kind == "none") return std::regex("\treturn");
    if (kind == "int") return std::regex("\treturn \\(int\\) -?[0-9]+");
    if (kind == "handle") return std::regex("\treturn \\(handle\\) " + kAddress);
    if (kind == "char") return std::regex("\treturn \\(char \\*\\) (0x[0-9a-f]+=\".*\"|NULL)");
    if (kind == "char*") return std::regex("\treturn \\(char \\*\\) " + kAddress);
    return std::regex("\treturn \\(" + kind + " \\*\\) " + kAddress);
}

// Checks every call block of a trace against its routine's shape; returns
// the number of calls of each routine, and the problems found.
std::map<std::string, int> CheckTrace(const std::string &trace, std::vector<std::string> *problems) {
    std::map<std::string, int> calls;
    std::vector<std::string> lines;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.empty() || lines[0].rfind("Simulator: ", 0) != 0) {
        problems->push_back("the trace does not start with the simulator line");
        return calls;
    }
    size_t at = 1;
    auto detail = [&] { return at < lines.size() && lines[at].rfind("\t\t", 0) == 0; };
    while (at < lines.size()) {
        const std::string &head = lines[at];
        const std::string name = head.size() > 2 ? head.substr(0, head.size() - 2) : head;
        const auto shape = Shapes().find(name);
        if (head.size() < 3 || head.compare(head.size() - 2, 2, "()") != 0 || shape == Shapes().end()) {
            problems->push_back("line " + std::to_string(at + 1) + ": not a traced call: " + head);
            return calls;
        }
        ++calls[name];
        ++at;
        for (size_t n = 0; n < shape->second.args.size(); ++n, ++at) {
            if (at >= lines.size() || !std::regex_match(lines[at], ArgPattern(static_cast<int>(n + 1), shape->second.args[n]))) {
                problems->push_back(name + " argument " + std::to_string(n + 1) + " at line " + std::to_string(at + 1) +
                                    ": " + (at < lines.size() ? lines[at] : "<end>"));
                return calls;
            }
        }
        while (detail()) ++at;  // the value record of acc_fetch_value
        if (at >= lines.size() || !std::regex_match(lines[at], ResultPattern(shape->second.result))) {
            problems->push_back(name + " result at line " + std::to_string(at + 1) + ": " +
                                (at < lines.size() ? lines[at] : "<end>"));
            return calls;
        }
        ++at;
        while (detail()) ++at;  // the information records of tf_exprinfo and tf_nodeinfo
    }
    return calls;
}

class DebugTraceUnderIcarus : public IcarusTest {
  protected:
    Outcome Run(const std::string &out, const std::string &trace_command, const std::string &env = "") {
        SimOptions options;
        options.defines = " -DOUT='\"" + out + "\"'";
        if (!trace_command.empty()) options.defines += " -DTRACE='\"" + trace_command + "\"'";
        options.env = env;
        const fs::path design = WriteFile("design.v", kDesign);
        return Simulate(design, out, options);
    }
    std::string Dump(const std::string &file) {
        const Outcome tree = Trax("tree '" + Path(file).string() + "'");
        EXPECT_EQ(tree.status, 0) << tree.output;
        const Outcome dump = Trax("dump '" + Path(file).string() + "'");
        EXPECT_EQ(dump.status, 0) << dump.output;
        return tree.output + dump.output;
    }
};

TEST_F(DebugTraceUnderIcarus, TraceFileRecordsEveryCallAndTheDumpIsUnchanged) {
    const Outcome plain = Run("plain.trax", "");
    ASSERT_EQ(plain.status, 0) << plain.output;
    const Outcome traced = Run("traced.trax", "-m 4 -f calls.log");
    ASSERT_EQ(traced.status, 0) << traced.output;
    EXPECT_NE(traced.output.find("Set debug mode to 4\nSet log file to calls.log\n"), std::string::npos)
        << traced.output;
    EXPECT_EQ(traced.output.find("acc_fetch_name()"), std::string::npos) << "the calls go to the file";

    const std::string plain_dump = Dump("plain.trax");
    EXPECT_FALSE(plain_dump.empty());
    EXPECT_EQ(Dump("traced.trax"), plain_dump);

    std::vector<std::string> problems;
    const std::map<std::string, int> calls = CheckTrace(Slurp(Path("calls.log")), &problems);
    for (const std::string &problem : problems) ADD_FAILURE() << problem;

    // One link per dumped variable: the dump's initial values name each once.
    std::set<std::string> variables;
    std::istringstream dump_lines(Dump("plain.trax"));
    for (std::string line; std::getline(dump_lines, line);) {
        std::istringstream fields(line);
        std::string time, path;
        if (fields >> time >> path && time == "0" && path.rfind("tb/", 0) == 0) variables.insert(path);
    }
    ASSERT_GE(variables.size(), 8u);
    EXPECT_EQ(calls.count("acc_vcl_add") ? calls.at("acc_vcl_add") : 0, static_cast<int>(variables.size()));
    // The roads of a dump: the walk of the design, the values, the sampling.
    for (const char *routine : {"acc_handle_tfarg", "acc_next", "acc_next_scope", "acc_fetch_name",
                                "acc_fetch_type", "acc_fetch_value", "acc_fetch_size", "tf_irosynchronize"}) {
        EXPECT_GT(calls.count(routine) ? calls.at(routine) : 0, 0) << routine;
    }
}

TEST_F(DebugTraceUnderIcarus, DebugLogFromTheEnvironmentTracesFlowAndCallsFromStartUp) {
    const Outcome run = Run("env.trax", "", "TRAX_DEBUG_LOG=m:6:f:flow.log ");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string trace = Slurp(Path("flow.log"));
    EXPECT_EQ(trace.rfind("Simulator: ", 0), 0u) << trace;
    for (const char *line : {"plitaskDumpvars()\n", "acc_vcl_add()\n", "vectorTypeVclCB() vc_record->vc_reason=",
                             "Begin CloseAllDumpFile() pid="}) {
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(Dump("env.trax").empty(), false);
}

}  // namespace
}  // namespace tavri::e2e
