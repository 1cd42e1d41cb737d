// One-bit signals that the simulator simulates as one net (a clock passed
// down through the ports of two levels of cells, a result passed up) are
// one variable of the file: recorded and hooked once, listed under every
// name with each name's own type and direction, and exported with the same
// values as the simulator's own VCD. Vectors stay variables of their own.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

struct TreeVar {
    std::string type;
    std::string direction;
    std::string idcode;
    std::string alias_of;  // "" for the first name of a variable
};

// The variables of `trax tree` by path.
std::map<std::string, TreeVar> TreeVars(const std::string &tree) {
    std::map<std::string, TreeVar> vars;
    std::istringstream lines(tree);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string word;
        std::string path;
        std::string width;
        TreeVar var;
        if (!(fields >> word) || word != "var" || !(fields >> path >> var.type >> width >> word)) {
            continue;
        }
        if (word.front() == '[') {
            fields >> word;
        }
        var.direction = word;
        fields >> word >> var.idcode;
        if (fields >> word && word == "alias") {
            fields >> word >> var.alias_of;
        }
        vars[path] = var;
    }
    return vars;
}

class NexusAlias : public IcarusTest {};

TEST_F(NexusAlias, PortChainIsOneVariableUnderEveryName) {
    std::string transcript;
    EXPECT_EQ(DifferencesFromSimulator("port_chain", &transcript), "") << transcript;

    const Outcome tree = Trax("tree '" + Path("ours.trax").string() + "'");
    ASSERT_EQ(tree.status, 0) << tree.output;
    const std::map<std::string, TreeVar> vars = TreeVars(tree.output);
    struct Expected {
        const char *path;
        const char *type;
        const char *direction;
        const char *alias_of;
    };
    const Expected expected[] = {
        {"top/clk", "reg", "none", ""},
        {"top/m/clk", "wire", "input", "top/clk"},
        {"top/m/l/clk", "wire", "input", "top/clk"},
        {"top/d", "reg", "none", ""},
        {"top/m/d", "wire", "input", "top/d"},
        {"top/q", "wire", "none", ""},
        {"top/m/q", "wire", "output", "top/q"},
        {"top/m/l/q", "reg", "output", "top/q"},
        {"top/m/inverted", "wire", "none", ""},
        {"top/m/l/d", "wire", "input", "top/m/inverted"},
        {"top/bus[3:0]", "reg", "none", ""},
        {"top/m/bus[3:0]", "wire", "input", ""},
        {"top/m/l/bus[3:0]", "wire", "input", ""},
        {"top/m/l/seen[3:0]", "reg", "none", ""},
    };
    std::set<std::string> idcodes;
    for (const Expected &want : expected) {
        const auto found = vars.find(want.path);
        ASSERT_NE(found, vars.end()) << want.path << " missing from\n" << tree.output;
        const TreeVar &var = found->second;
        EXPECT_EQ(var.type, want.type) << want.path;
        EXPECT_EQ(var.direction, want.direction) << want.path;
        EXPECT_EQ(var.alias_of, want.alias_of) << want.path;
        if (*want.alias_of != '\0') {
            EXPECT_EQ(var.idcode, vars.at(want.alias_of).idcode) << want.path;
        }
        idcodes.insert(var.idcode);
    }
    EXPECT_EQ(vars.size(), std::size(expected)) << tree.output;
    EXPECT_EQ(idcodes.size(), 8u) << "clk, d, q, inverted, seen and three buses\n" << tree.output;
}

TEST_F(NexusAlias, OnlyTheFirstNameOfANetIsHooked) {
    SimOptions options;
    options.defines = std::string("-I ") + TAVRI_E2E_DESIGNS + " -DDUMP_TRAX -DOUT='\"" + Path("traced.trax").string() +
                      "\"' -DTRACE='\"-m 4 -f calls.log\"'";
    const Outcome run = Simulate(fs::path(TAVRI_E2E_DESIGNS) / "port_chain.v", "traced", options);
    ASSERT_EQ(run.status, 0) << run.output;
    std::istringstream trace(Slurp(Path("calls.log")));
    int links = 0;
    for (std::string line; std::getline(trace, line);) {
        links += line == "acc_vcl_add()" ? 1 : 0;
    }
    EXPECT_EQ(links, 8) << "one link per variable, not one per name";
}

}  // namespace
}  // namespace tavri::e2e
