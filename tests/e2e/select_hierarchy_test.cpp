// $traxDumpPattern and $traxSubstituteHier under Icarus Verilog, on a design
// of three module types over four levels with named and generate blocks and
// escaped identifiers. Each run also writes the simulator's own VCD of the
// whole design; the signals the rules select from that VCD (renamed as the
// substitution renames them) must be exactly the signals we recorded, with
// the same values at every time step.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

using Names = std::vector<std::string>;  // scope names from the top

std::string Joined(const Names &path) {
    std::string text;
    for (const std::string &name : path) text += (text.empty() ? "" : ".") + name;
    return text;
}

std::string WithoutRange(std::string name) {
    while (!name.empty() && name.back() == ']' && name.rfind('[') != std::string::npos) {
        name.resize(name.rfind('['));
    }
    return name;
}

// The hierarchy of a VCD: each scope's names from the top, and each signal's
// scope and leaf name, keyed by the paths ReadVcd gives them. Escaped names
// hold dots, so these cannot be split out of the paths.
struct Hierarchy {
    std::map<std::string, Names> scopes;
    struct Signal {
        Names scope;
        std::string leaf;
    };
    std::map<std::string, Signal> signals;
};

Hierarchy ReadHierarchy(const std::string &file) {
    Hierarchy hierarchy;
    std::ifstream in(file);
    Names open;
    std::string token;
    while (in >> token && token != "$enddefinitions") {
        if (token == "$scope") {
            std::string kind, name;
            in >> kind >> name;
            open.push_back(name);
            hierarchy.scopes[Joined(open)] = open;
        } else if (token == "$upscope") {
            open.pop_back();
        } else if (token == "$var") {
            std::string type, width, id, reference;
            in >> type >> width >> id;
            while (in >> token && token != "$end") reference += token;
            const std::string leaf = WithoutRange(reference);
            hierarchy.signals[Joined(open) + "." + leaf] = {open, leaf};
        }
    }
    return hierarchy;
}

bool StartsWith(const Names &path, const Names &prefix) {
    return path.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

using Predicate = std::function<bool(const std::string &)>;

// One $traxDumpPattern call, with what its patterns mean written out here
// rather than taken from the matcher under test.
struct PatternCall {
    std::string source;
    Names root;  // empty: every top module
    int level;
    Predicate scope_matches;   // by leaf name
    Predicate signal_matches;  // by leaf name
};

// The scopes and signals one call records: a scope is dumped when its own
// name or an ancestor's (at or below the root) matched within `level`
// levels (0: any, negative: itself only); scopes on the way to a match are
// created without their signals.
void Select(const PatternCall &call, const Hierarchy &design, std::set<std::string> *scopes,
            std::set<std::string> *signals) {
    const size_t first = call.root.empty() ? 1 : call.root.size();  // depth of the first scope that may match
    auto matched_at = [&](const Names &path, size_t depth) { return call.scope_matches(path[depth - 1]); };
    auto dumped = [&](const Names &path) {
        for (size_t depth = path.size(); depth >= first; --depth) {
            if (matched_at(path, depth)) {
                const size_t distance = path.size() - depth;
                return call.level == 0 || (call.level > 0 ? distance + 1 <= static_cast<size_t>(call.level)
                                                          : distance == 0);
            }
        }
        return false;
    };
    auto leads_to_match = [&](const Names &path) {
        for (const auto &[name, below] : design.scopes) {
            if (StartsWith(below, path) && matched_at(below, below.size())) return true;
        }
        return false;
    };
    bool any = false;
    for (const auto &[name, path] : design.scopes) {
        if (!StartsWith(path, call.root)) continue;
        if (dumped(path) || leads_to_match(path)) {
            scopes->insert(name);
            any = true;
        }
    }
    for (size_t depth = 1; any && depth < call.root.size(); ++depth) {
        scopes->insert(Joined(Names(call.root.begin(), call.root.begin() + static_cast<long>(depth))));
    }
    for (const auto &[name, signal] : design.signals) {
        if (StartsWith(signal.scope, call.root) && dumped(signal.scope) && call.signal_matches(signal.leaf)) {
            signals->insert(name);
        }
    }
}

// The reference VCD reduced to `scopes` and `signals`, each path renamed.
VcdFile Expected(const VcdFile &theirs, const std::set<std::string> &scopes, const std::set<std::string> &signals,
                 const std::function<std::string(const std::string &)> &rename = nullptr) {
    VcdFile expected;
    expected.timescale = theirs.timescale;
    for (const std::string &path : scopes) {
        expected.scopes[rename ? rename(path) : path] = theirs.scopes.at(path);
    }
    for (const std::string &path : signals) {
        expected.signals[rename ? rename(path) : path] = theirs.signals.at(path);
    }
    return expected;
}

std::string Lines(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    return text;
}

class SelectHierarchy : public IcarusTest {
  protected:
    // Simulates the design with `units` and the dump `calls` at time 0,
    // beside the simulator's own VCD of everything; reads both back.
    void Run(const std::string &units, const std::string &calls) {
        const std::string tb = "`include \"select_hierarchy.v\"\n"
                               "module tb;\n"
                               "  reg clk = 0;\n"
                               "  reg [3:0] stim = 0;\n" +
                               units +
                               "  always #5 clk = ~clk;\n"
                               "  initial begin\n"
                               "    $dumpfile(\"full.vcd\");\n"
                               "    $dumpvars;\n"
                               "    $traxDumpfile(\"ours.trax\");\n" +
                               calls +
                               "    repeat (12) #7 stim = stim + 3;\n"
                               "    #10 $finish;\n"
                               "  end\n"
                               "endmodule\n";
        SimOptions options;
        options.defines = std::string("-I ") + TAVRI_E2E_DESIGNS;
        run_ = Simulate(WriteFile("tb.v", tb), "tb", options);
        ASSERT_EQ(run_.status, 0) << run_.output;
        const Outcome exported = Trax("vcd '" + Path("ours.trax").string() + "' -o '" + Path("ours.vcd").string() + "'");
        ASSERT_EQ(exported.status, 0) << exported.output;
        ours_ = ReadVcd(Path("ours.vcd").string());
        theirs_ = ReadVcd(Path("full.vcd").string());
        ASSERT_EQ(ours_.error + theirs_.error, "");
        design_ = ReadHierarchy(Path("full.vcd").string());
        ASSERT_EQ(design_.signals.size(), theirs_.signals.size()) << "both readers see the same signals";
    }

    Outcome run_;
    VcdFile ours_;
    VcdFile theirs_;
    Hierarchy design_;
};

constexpr const char kTwoUnits[] =
    "  unit \\u$core (.clk(clk), .in(stim));\n"
    "  unit u2(.clk(clk), .in(stim ^ 4'ha));\n";

TEST_F(SelectHierarchy, PatternDumpRecordsExactlyWhatThePatternsSelect) {
    const std::vector<PatternCall> calls = {
        {"    $traxDumpPattern(, 2, \"m*\", \"[q-a]*\");\n", {}, 2,
         [](const std::string &name) { return name[0] == 'm'; },
         [](const std::string &name) { return name[0] >= 'a' && name[0] <= 'q'; }},
        {"    $traxDumpPattern(\\u$core , 0, \"lb\\\\[1\\\\]\", );\n", {"tb", "u$core"}, 0,
         [](const std::string &name) { return name == "lb[1]"; }, [](const std::string &) { return true; }},
        {"    $traxDumpPattern(tb, -1, \"w?rk\", \"t*\");\n", {"tb"}, -1,
         [](const std::string &name) { return name == "work"; },
         [](const std::string &name) { return name[0] == 't'; }},
        {"    $traxDumpPattern(u2, 1, , \"clk\");\n", {"tb", "u2"}, 1, [](const std::string &) { return true; },
         [](const std::string &name) { return name == "clk"; }},
        {"    $traxDumpPattern(, 0, \"nomatch\", );\n", {}, 0, [](const std::string &) { return false; },
         [](const std::string &) { return true; }},
    };
    std::string source;
    for (const PatternCall &call : calls) source += call.source;
    Run(kTwoUnits, source);
    if (HasFatalFailure()) return;
    EXPECT_NE(run_.output.find("None instance match with traxDumpPattern(NULL,0,\"nomatch\",\"*\");"),
              std::string::npos)
        << run_.output;

    std::set<std::string> scopes;
    std::set<std::string> signals;
    for (const PatternCall &call : calls) Select(call, design_, &scopes, &signals);
    // The rules pick a real part of the design: something of every call, not everything.
    for (const char *path : {"tb.u$core.m0.la.q", "tb.u$core.m.1.lb[1].toggle", "tb.u2.m0.lb[1].d",
                             "tb.u2.work.tmp", "tb.u2.clk", "tb.u2.m.1.g.gr"}) {
        EXPECT_EQ(signals.count(path), 1u) << path;
    }
    for (const char *path : {"tb.clk", "tb.u$core.acc", "tb.u$core.m0.la.toggle", "tb.u2.acc"}) {
        EXPECT_EQ(signals.count(path), 0u) << path;
    }
    EXPECT_EQ(Lines(CompareVcd(ours_, Expected(theirs_, scopes, signals), 200)), "");
}

// The name components and the replace level of a substitution, and the
// path a design path gets under it (none: its level is dropped).
struct Substitution {
    Names components;
    size_t level;

    std::optional<Names> Map(const Names &design) const {
        const long shift = static_cast<long>(components.size()) - static_cast<long>(level);
        Names mapped;
        if (shift > 0) mapped.assign(components.begin(), components.begin() + shift);
        for (size_t depth = 1; depth <= design.size(); ++depth) {
            const long at = static_cast<long>(depth) + shift;  // the depth it lands at
            if (at <= 0) {
                if (depth == design.size()) return std::nullopt;
            } else if (depth <= level) {
                mapped.push_back(components[static_cast<size_t>(at - 1)]);
            } else {
                mapped.push_back(design[depth - 1]);
            }
        }
        return mapped;
    }
};

class SubstituteHierarchy : public SelectHierarchy {
  protected:
    void Check(const Substitution &substitution) {
        std::set<std::string> scopes;
        std::set<std::string> signals;
        std::map<std::string, std::string> renamed;
        for (const auto &[name, path] : design_.scopes) {
            if (std::optional<Names> mapped = substitution.Map(path)) {
                scopes.insert(name);
                renamed[name] = Joined(*mapped);
            }
        }
        for (const auto &[name, signal] : design_.signals) {
            if (std::optional<Names> mapped = substitution.Map(signal.scope)) {
                signals.insert(name);
                renamed[name] = Joined(*mapped) + "." + signal.leaf;
            }
        }
        VcdFile expected = Expected(theirs_, scopes, signals, [&](const std::string &path) { return renamed.at(path); });
        // The components above the design are scopes of their own.
        for (size_t depth = 1; depth <= substitution.components.size(); ++depth) {
            const std::string path = Joined(Names(substitution.components.begin(),
                                                 substitution.components.begin() + static_cast<long>(depth)));
            expected.scopes.emplace(path, "module");
        }
        EXPECT_EQ(Lines(CompareVcd(ours_, expected, 200)), "");
    }
};

TEST_F(SubstituteHierarchy, TopLevelsGoUnderALongerName) {
    Run(kTwoUnits,
        "    $traxSubstituteHier(\"chip.\\\\sub.sys \", 1);\n"
        "    $traxDumpvars;\n");
    if (HasFatalFailure()) return;
    EXPECT_NE(run_.output.find("replace level(1), Substitute Hierarchy Name(chip.\\sub.sys)."), std::string::npos)
        << run_.output;
    EXPECT_NE(ours_.signals.count("chip.sub.sys.u$core.m.1.lb[1].q"), 0u);
    Check({{"chip", "sub.sys"}, 1});
}

TEST_F(SubstituteHierarchy, LevelsAboveAShorterNameAreDropped) {
    Run("  unit \\u$core (.clk(clk), .in(stim));\n",
        "    $traxSubstituteHier(\"blk\", 2);\n"
        "    $traxDumpvars;\n");
    if (HasFatalFailure()) return;
    EXPECT_NE(run_.output.find("Replace level(2) is larger than the deepth of \"blk\"."), std::string::npos)
        << run_.output;
    EXPECT_EQ(ours_.signals.count("tb.clk"), 0u);
    EXPECT_NE(ours_.signals.count("blk.m0.g.gr"), 0u);
    Check({{"blk"}, 2});
}

}  // namespace
}  // namespace tavri::e2e
