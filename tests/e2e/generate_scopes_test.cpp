// Generate blocks under Icarus Verilog are recorded as begin scopes, the
// kind the simulator's own VCD gives them, with the instances inside them
// as modules; the run does not warn about their scope type.
#include <gtest/gtest.h>

#include <string>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

class GenerateScopes : public IcarusTest {};

TEST_F(GenerateScopes, AreRecordedAsBeginScopes) {
    const Outcome run = SimulateDesign("generate_blocks", true, "ours.trax");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("Unknown scope type"), std::string::npos) << run.output;
    const Outcome tree = Trax("tree '" + Path("ours.trax").string() + "'");
    ASSERT_EQ(tree.status, 0) << tree.output;
    for (const char *line : {"scope tb module\n", "scope tb/u[0] begin\n", "scope tb/u[2] begin\n",
                             "scope tb/u[1]/s module\n", "scope tb/u[1]/bit_pair[1] begin\n", "scope tb/fast begin\n",
                             "scope tb/two begin\n", "scope tb/genblk6 begin\n"}) {
        EXPECT_NE(tree.output.find(line), std::string::npos) << line << "in\n" << tree.output;
    }
    EXPECT_EQ(tree.output.find("scope tb/slow"), std::string::npos) << tree.output;
}

}  // namespace
}  // namespace tavri::e2e
