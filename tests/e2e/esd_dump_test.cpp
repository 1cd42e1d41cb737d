// $traxESDump under Icarus Verilog. A first run records the design's tree
// with $traxDumpvars; a helper turns that tree into an essential-signal
// template (file type 8, a table and expression data, the esd var count
// set). A second run, which also writes the simulator's own VCD, records
// the essential signals (the selected scope's own variables) from the
// template: they agree with the VCD at every time step, every other
// variable of the template is in the new file with its idcode and carries
// no change, and the template's table and data come along byte for byte.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "icarus_harness.h"
#include "tavri/trax_reader.h"
#include "unit/roundtrip/esd_template_builder.h"
#include "vcd_compare.h"
#include "writer/object_lifecycle.h"

namespace tavri::e2e {
namespace {

using test::TemplateScope;
using test::TemplateVar;

constexpr const char *kDesign = R"(`timescale 1ns/1ns
module leaf(input clk, input [3:0] d, output reg [3:0] q);
  reg [7:0] count;
  initial count = 0;
  always @(posedge clk) begin q <= d; count <= count + 8'd1; end
endmodule
module tb;
  reg clk = 0;
  reg [3:0] data = 0;
  wire [3:0] q0, q1;
  integer i;
  leaf u0(.clk(clk), .d(data), .q(q0));
  leaf u1(.clk(clk), .d(~data), .q(q1));
  always #5 clk = ~clk;
  initial begin
`ifdef TREE
    $traxDumpfile("tree.trax");
    $traxDumpvars;
`else
    $dumpfile("theirs.vcd");
    $dumpvars;
    $traxESDump("tpl.trax", "ours.trax", 1, tb.u0);
`endif
    for (i = 0; i < 30; i = i + 1) #7 data = data + 4'd3;
    #20 $finish;
  end
endmodule
)";

struct OpenReader {
    explicit OpenReader(const std::string &path) {
        char message[512] = {};
        status = traxr_Open(path.c_str(), &reader, message, sizeof message);
        text = message;
    }
    ~OpenReader() { traxr_Close(reader); }
    traxrReader *reader = nullptr;
    traxrStatus status = TRAXR_OK;
    std::string text;
};

// The scopes and variables of a database file as a template tree. A second
// name of one variable (a port the simulator merged into its parent's net)
// becomes a variable of its own: the template lists names, not nets.
std::vector<TemplateScope> TreeOf(traxrReader *reader) {
    std::vector<TemplateScope> tops;
    std::vector<TemplateScope *> open;
    for (uint32_t index = 0; index < traxr_ScopeCount(reader); ++index) {
        traxrScope scope{};
        traxr_GetScope(reader, index, &scope);
        open.resize(scope.depth);
        std::vector<TemplateScope> &siblings = open.empty() ? tops : open.back()->children;
        siblings.push_back(TemplateScope{scope.name, {}, {}, scope.type});
        for (uint32_t v = scope.first_var; v < scope.first_var + scope.var_count; ++v) {
            traxrVar var{};
            traxr_GetVar(reader, v, &var);
            siblings.back().vars.push_back(
                TemplateVar{var.name, var.left, var.right, var.var_type, var.direction, var.bytes_per_bit_code});
        }
        open.push_back(&siblings.back());
    }
    return tops;
}

// The dotted path of every variable of a file, by idcode.
std::vector<std::pair<uint32_t, std::string>> VariablesOf(traxrReader *reader) {
    std::vector<std::pair<uint32_t, std::string>> out;
    for (uint32_t index = 0; index < traxr_VarCount(reader); ++index) {
        traxrVar var{};
        traxr_GetVar(reader, index, &var);
        std::string path = var.name;
        for (uint32_t at = var.scope; at != TRAXR_NONE;) {
            traxrScope scope{};
            traxr_GetScope(reader, at, &scope);
            path = std::string(scope.name) + "." + path;
            at = scope.parent;
        }
        out.emplace_back(var.idcode, path);
    }
    return out;
}

class EsdDumpUnderIcarus : public IcarusTest {
  protected:
    void TearDown() override {
        writer::FreeParkedObject();
        IcarusTest::TearDown();
    }
};

TEST_F(EsdDumpUnderIcarus, RecordsTheEssentialSignalsAsTheSimulatorSeesThem) {
    const fs::path design = WriteFile("esd.v", kDesign);
    SimOptions tree_run;
    tree_run.defines = "-DTREE";
    const Outcome first = Simulate(design, "tree", tree_run);
    ASSERT_EQ(first.status, 0) << first.output;

    const test::TemplateEsd esd = test::PatternEsd(4, 77);
    {
        OpenReader tree(Path("tree.trax").string());
        ASSERT_EQ(tree.status, TRAXR_OK) << tree.text;
        test::WriteTemplate(Path("tpl.trax").string(), TreeOf(tree.reader), &esd, 4, false);
    }
    const Outcome second = Simulate(design, "esd");
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_EQ(second.output.find("Error"), std::string::npos) << second.output;
    EXPECT_NE(second.output.find("Start dumping the scope(tb.u0), layer(1)."), std::string::npos) << second.output;

    // The template's tree and idcodes, with changes only where hooked.
    OpenReader ours(Path("ours.trax").string());
    ASSERT_EQ(ours.status, TRAXR_OK) << ours.text;
    {
        OpenReader source(Path("tpl.trax").string());
        ASSERT_EQ(source.status, TRAXR_OK) << source.text;
        EXPECT_EQ(VariablesOf(ours.reader), VariablesOf(source.reader));
    }
    std::set<std::string> essential;
    size_t others = 0;
    for (const auto &[idcode, path] : VariablesOf(ours.reader)) {
        traxrChangeList *list = nullptr;
        ASSERT_EQ(traxr_ReadChanges(ours.reader, idcode, &list), TRAXR_OK) << path;
        const uint32_t changes = traxr_ChangeCount(list);
        traxr_FreeChangeList(list);
        if (path.starts_with("tb.u0.")) {
            essential.insert(path);
            EXPECT_GT(changes, 1u) << path;
        } else {
            ++others;
            EXPECT_EQ(changes, 0u) << path;
        }
    }
    EXPECT_EQ(essential.size(), 4u);  // clk, d, q, count
    EXPECT_GT(others, 6u);
    traxrEsdInfo info{};
    ASSERT_EQ(traxr_GetEsdInfo(ours.reader, &info), TRAXR_OK);
    EXPECT_EQ(std::vector<uint8_t>(info.table, info.table + info.table_size), esd.table);
    EXPECT_EQ(std::vector<uint8_t>(info.data, info.data + info.data_size), esd.data);

    // The essential signals against the simulator's VCD, step by step.
    const Outcome exported = Trax("vcd ours.trax -o ours.vcd");
    ASSERT_EQ(exported.status, 0) << exported.output;
    VcdFile mine = ReadVcd(Path("ours.vcd").string());
    VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    ASSERT_TRUE(mine.error.empty() && theirs.error.empty()) << mine.error << theirs.error;
    const auto keep_essential = [](VcdFile &file) {
        std::erase_if(file.signals, [](const auto &entry) { return !entry.first.starts_with("tb.u0."); });
        std::erase_if(file.scopes, [](const auto &entry) { return entry.first != "tb" && entry.first != "tb.u0"; });
    };
    keep_essential(mine);
    keep_essential(theirs);
    ASSERT_EQ(theirs.signals.size(), 4u);
    for (const std::string &line : CompareVcd(mine, theirs)) ADD_FAILURE() << line;
}

}  // namespace
}  // namespace tavri::e2e
