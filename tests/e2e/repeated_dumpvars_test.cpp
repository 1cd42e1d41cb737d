// $traxDumpvars called again for scopes that are dumped already, or after a
// call that dumped only their ports: the file gets one tree per call, some
// naming the same variables again, but the VCD that `trax vcd` makes of it declares
// every scope and variable once, and a value that did not change is not
// written again.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

constexpr const char *kDesign = R"(
module sub(input wire a);
  reg [3:0] q;
  initial q = 0;
  always @(posedge a) q = q + 1;
endmodule

module tb;
  reg clk;
  real r;
  event go;
  sub u(.a(clk));
  initial begin
    clk = 0;
    r = 1.5;
    $traxDumpfile("repeat.trax");
    // Ports (and reals and events) only: the scopes stay open, and the next
    // call names these variables again, as aliases of themselves.
    $traxDumpvars(0, "+IO_Only", tb);
    $traxDumpvars(0, tb);
    $traxDumpvars(0, tb);
    $traxDumpvars(0, tb);
    #2 $traxDumpvars(0, tb.u);
    #3 clk = 1;
    r = 2.5;
    -> go;
    #5 $finish;
  end
endmodule
)";

// What a VCD declares and the value lines at each time.
struct Declared {
    std::map<std::string, int> scopes;           // "tb.u" -> times declared
    std::map<std::string, int> vars;             // "tb.u.q" -> times declared
    std::map<std::string, std::string> id_of;    // "tb.r" -> identifier
    std::vector<std::pair<uint64_t, std::string>> values;  // (time, value line)
};

Declared ReadDeclared(const std::string &text) {
    Declared d;
    std::vector<std::string> path;
    std::istringstream in(text);
    uint64_t time = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        auto joined = [&](const std::string &name) {
            std::string full;
            for (const std::string &p : path) full += (full.empty() ? "" : ".") + p;
            return name.empty() ? full : full + "." + name;
        };
        if (first == "$scope") {
            std::string type, name;
            words >> type >> name;
            path.push_back(name);
            ++d.scopes[joined("")];
        } else if (first == "$upscope") {
            if (!path.empty()) path.pop_back();
        } else if (first == "$var") {
            std::string type, width, id, name;
            words >> type >> width >> id >> name;
            ++d.vars[joined(name)];
            d.id_of[joined(name)] = id;
        } else if (!first.empty() && first[0] == '#') {
            time = std::stoull(first.substr(1));
        } else if (!first.empty() && first[0] != '$') {
            d.values.emplace_back(time, line);
        }
    }
    return d;
}

class RepeatedDumpvars : public IcarusTest {};

TEST_F(RepeatedDumpvars, TheExportDeclaresEachScopeAndVariableOnceAndValuesOnce) {
    const Outcome run = Simulate(WriteFile("repeat.v", kDesign), "repeat");
    ASSERT_EQ(run.status, 0) << run.output;
    const Outcome exported = Trax("vcd repeat.trax -o repeat.vcd");
    ASSERT_EQ(exported.status, 0) << exported.output;
    const std::string vcd = Slurp(Path("repeat.vcd"));
    const Declared d = ReadDeclared(vcd);

    EXPECT_EQ(d.scopes, (std::map<std::string, int>{{"tb", 1}, {"tb.u", 1}})) << vcd;
    EXPECT_EQ(d.vars, (std::map<std::string, int>{
                          {"tb.clk", 1}, {"tb.r", 1}, {"tb.go", 1}, {"tb.u.a", 1}, {"tb.u.q", 1}}))
        << vcd;

    // The real: its initial value once, then its one change.
    ASSERT_EQ(d.id_of.count("tb.r"), 1u) << vcd;
    const std::string r = d.id_of.at("tb.r");
    std::vector<std::pair<uint64_t, std::string>> of_r;
    for (const auto &[time, line] : d.values) {
        if (line.size() > r.size() && line.ends_with(" " + r)) of_r.emplace_back(time, line);
    }
    EXPECT_EQ(of_r, (std::vector<std::pair<uint64_t, std::string>>{{0, "r1.5 " + r}, {5, "r2.5 " + r}}))
        << vcd;
    // No identifier gets the same value line twice at one time.
    for (size_t i = 0; i < d.values.size(); ++i) {
        for (size_t j = i + 1; j < d.values.size() && d.values[j].first == d.values[i].first; ++j) {
            EXPECT_NE(d.values[i].second, d.values[j].second) << "at " << d.values[i].first << "\n" << vcd;
        }
    }
}

}  // namespace
}  // namespace tavri::e2e
