// Scopes and signals named by strings in $traxDumpvars under Icarus
// Verilog: names relative to the calling scope or to an enclosing one, full
// names, names inside generate and named blocks, escaped names; and names
// that do not exist, which only warn, whatever their shape.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

class NameLookup : public IcarusTest {};

constexpr const char kDesign[] = R"(
module leaf; reg r; initial r = 0; endmodule
module tb;
  reg clk = 0;
  leaf s();
  leaf \odd.name ();
  generate if (1) begin : g reg gr; initial gr = 1; end endgenerate
  genvar i;
  generate for (i = 0; i < 2; i = i + 1) begin : u leaf l(); end endgenerate
  initial begin : nb reg nr; nr = 1; end
  initial begin
    $traxDumpfile("ours.trax");
    $traxDumpvars(1, "nosuch.scope", "nosuch", "tb.nosuch", "tb.nosuch.deeper", "s.nosuch", "s.r.deeper",
                  "clk.x", "x.y.z", ".tb", "tb.", "leaf.r", "tb.clk", "g.gr", "tb.nb.nr", "tb.\\odd.name .r",
                  "u[1].l.r", "u[2].l");
    begin : caller
      $traxDumpvars(1, "s", "u.nosuch");
    end
    #1 $finish;
  end
endmodule
)";

TEST_F(NameLookup, FindsWhatExistsAndWarnsAboutTheRest) {
    const Outcome run = Simulate(WriteFile("names.v", kDesign), "names");
    ASSERT_EQ(run.signal, 0) << run.output;
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char *unknown : {"nosuch.scope", "nosuch", "tb.nosuch", "tb.nosuch.deeper", "s.nosuch", "s.r.deeper",
                                "clk.x", "x.y.z", ".tb", "tb.", "leaf.r", "u[2].l", "u.nosuch"}) {
        EXPECT_NE(run.output.find("Cannot find the instance(" + std::string(unknown) + ")."), std::string::npos)
            << unknown << " in\n" << run.output;
    }
    const Outcome tree = Trax("tree '" + Path("ours.trax").string() + "'");
    ASSERT_EQ(tree.status, 0) << tree.output;
    // "s" from the named block "caller" resolves in the enclosing module.
    for (const char *found : {"var tb/clk ", "var tb/g/gr ", "var tb/nb/nr ", "var tb/odd.name/r ", "var tb/s/r ",
                              "var tb/u[1]/l/r "}) {
        EXPECT_NE(tree.output.find(found), std::string::npos) << found << "in\n" << tree.output;
    }
    EXPECT_EQ(run.output.find("Cannot find the instance(s)"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace tavri::e2e
