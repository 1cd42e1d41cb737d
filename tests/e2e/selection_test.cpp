// Recording part of a design under Icarus Verilog: subtrees and module
// definitions left out with $traxSuppress, and the instances a scope file
// lists for $traxDumpvarsToFile. In each run the simulator writes its own
// VCD of the whole design; the recorded signals must be exactly those the
// rules select from it, with the same value at every time step.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

class Selection : public IcarusTest {
  protected:
    // Simulates designs/selection.v with `define` and compares our file with
    // the simulator's VCD of the same run, keeping of the latter only the
    // signals `selected` accepts.
    void CheckRecorded(const std::string &define, const std::function<bool(const std::string &)> &selected) {
        SimOptions options;
        options.defines = "-D" + define + " -DVCD='\"theirs.vcd\"' -DSCOPE_LIST='\"" + Path("list.sc").string() + "\"'";
        const Outcome run = Simulate(fs::path(TAVRI_E2E_DESIGNS) / "selection.v", define, options);
        ASSERT_EQ(run.status, 0) << run.output;
        output_ = run.output;
        const Outcome exported = Trax("vcd ours.trax -o ours.vcd");
        ASSERT_EQ(exported.status, 0) << exported.output;
        const VcdFile ours = ReadVcd(Path("ours.vcd").string());
        VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
        ASSERT_TRUE(ours.error.empty() && theirs.error.empty()) << ours.error << theirs.error;
        ASSERT_GT(theirs.signals.size(), 40u) << "the simulator's VCD holds the whole design";

        std::erase_if(theirs.signals, [&](const auto &entry) { return !selected(entry.first); });
        std::set<std::string> expected;
        for (const auto &[path, signal] : theirs.signals) expected.insert(path);
        std::set<std::string> recorded;
        for (const auto &[path, signal] : ours.signals) recorded.insert(path);
        EXPECT_EQ(recorded, expected);

        // Scopes on the way to a recorded signal are written too; those are
        // not compared, only the signals are.
        std::set<std::string> unrecorded_scopes;
        for (const auto &[path, kind] : theirs.scopes) {
            if (ours.scopes.count(path) == 0) unrecorded_scopes.insert(path);
        }
        for (const std::string &line : CompareVcd(ours, theirs, 50, unrecorded_scopes)) {
            ADD_FAILURE() << line;
        }
    }

    std::string output_;
};

bool Below(const std::string &path, const std::string &scope) { return path.starts_with(scope + "."); }

// Every instance of module leaf, by its path as the VCD writes it.
std::set<std::string> LeafInstances() {
    std::set<std::string> leaves;
    for (const char *core : {"tb.c0", "tb.c.1"}) {
        const std::string c = core;
        for (const char *pair : {".p0", ".p[1]"}) {
            leaves.insert(c + pair + ".a");
            leaves.insert(c + pair + ".b.odd");
        }
        leaves.insert(c + ".l");
        leaves.insert(c + ".g[0].gl");
        leaves.insert(c + ".g[1].gl");
    }
    return leaves;
}

TEST_F(Selection, SuppressedSubtreesAndModuleDefinitionsAreLeftOut) {
    const std::set<std::string> leaves = LeafInstances();
    CheckRecorded("SUPPRESS", [&](const std::string &path) {
        if (Below(path, "tb.c0.p[1]")) return false;
        for (const std::string &leaf : leaves) {
            if (Below(path, leaf)) return false;
        }
        return true;
    });
    EXPECT_NE(output_.find("The instance(tb.c0.p[1]) is in suppress list."), std::string::npos) << output_;
}

TEST_F(Selection, AScopeFileRecordsTheInstancesItLists) {
    WriteFile("list.sc",
              "# levels, quoted and escaped names, a bit select\n"
              "1 tb\n"
              "tb.c0.p0\n"
              "\n"
              "2 tb.\\c.1 .\\p[1] \n"
              "\"tb.c0.g[1].gl\"\n"
              "tb.c0.l.q[2]\n"
              "tb.\\c.1 .g[0]\n");
    CheckRecorded("SCOPE_FILE", [](const std::string &path) {
        const std::string leaf = path.substr(0, path.rfind('.'));
        return leaf == "tb" || (Below(path, "tb.c0.p0") && !Below(path, "tb.c0.p0.a")) ||
               Below(path, "tb.c.1.p[1]") || Below(path, "tb.c0.g[1].gl") || path == "tb.c0.l.q" ||
               Below(path, "tb.c.1.g[0]");
    });
    EXPECT_NE(output_.find("*Tavri* Start dumping the scopes."), std::string::npos) << output_;
}

}  // namespace
}  // namespace tavri::e2e
