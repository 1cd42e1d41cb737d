// The comparison the end-to-end tests rely on must itself find differences.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

class VcdCompareTest : public ::testing::Test {
  protected:
    std::string Write(const std::string &name, const std::string &text) {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("tavri_vcdcmp_" + std::to_string(::getpid()) + "_" + name))
                                     .string();
        std::ofstream(path) << text;
        paths_.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string &path : paths_) std::filesystem::remove(path);
    }
    std::vector<std::string> paths_;
};

constexpr const char kHeader[] =
    "$timescale 1ns $end\n$scope module top $end\n$var reg 4 ! v [3:0] $end\n"
    "$var wire 1 \" s $end\n$var real 64 # r $end\n$var event 1 $ e $end\n$upscope $end\n$enddefinitions $end\n";

TEST_F(VcdCompareTest, ShortVectorsExtendAndTheLastValueOfAStepCounts) {
    const VcdFile a = ReadVcd(Write("a.vcd", std::string(kHeader) +
                                                 "#0\nb1 !\n0\"\nr0.5 #\n#5\nb1x !\nbz !\n1$\n#7\n1\"\n"));
    ASSERT_TRUE(a.error.empty());
    EXPECT_EQ(a.timescale, "1ns");
    EXPECT_EQ(a.signals.at("top.v").values.at(0), "0001");
    EXPECT_EQ(a.signals.at("top.v").values.at(5), "zzzz") << "the last change of the step";
    const VcdFile b = ReadVcd(Write("b.vcd", std::string(kHeader) +
                                                 "#0\nb0001 !\n0\"\nr0.50 #\n#5\nbzzzz !\n1$\n#7\n1\"\n"));
    EXPECT_TRUE(CompareVcd(a, b).empty());
}

TEST_F(VcdCompareTest, DifferencesAreReportedWithPathAndTime) {
    const VcdFile a = ReadVcd(Write("a.vcd", std::string(kHeader) + "#0\nb0 !\n0\"\nr1 #\n#3\n1\"\n#9\n1$\n"));
    const VcdFile b = ReadVcd(Write("b.vcd", std::string(kHeader) + "#0\nb0 !\n0\"\nr1.5 #\n#4\n1\"\n#8\n1$\n"));
    const std::vector<std::string> differences = CompareVcd(a, b);
    ASSERT_EQ(differences.size(), 3u);
    EXPECT_EQ(differences[0], "top.e: event occurrences differ");
    EXPECT_EQ(differences[1], "top.r @0: ours 1 vs theirs 1.5");
    EXPECT_EQ(differences[2], "top.s @3: ours 1 vs theirs 0");
}

TEST_F(VcdCompareTest, MissingSignalsCountUnlessIgnored) {
    const VcdFile a = ReadVcd(Write("a.vcd", std::string(kHeader) + "#0\nb0 !\n"));
    const VcdFile b = ReadVcd(Write("b.vcd", "$scope module top $end\n$var reg 4 ! v [3:0] $end\n$upscope $end\n"
                                             "$enddefinitions $end\n#0\nb0 !\n"));
    EXPECT_EQ(CompareVcd(a, b).size(), 3u);
    EXPECT_TRUE(CompareVcd(a, b, 50, {"top.s", "top.r", "top.e"}).empty());
}

// One signal declared by each side: whether the comparison calls the
// declarations different. Paths match in every case.
TEST_F(VcdCompareTest, DeclarationsMustAgreeExceptInTwoEquivalentForms) {
    struct Case {
        const char *ours;
        const char *theirs;
        bool differ;
    } const kCases[] = {
        {"reg 1 ! clk[0]", "reg 1 ! clk", true},            // a scalar recorded as a vector
        {"reg 1 ! clk [0]", "reg 1 ! clk", true},
        {"wire 4 ! v [3:0]", "reg 4 ! v [3:0]", true},      // kind
        {"reg 4 ! v [0:3]", "reg 4 ! v [3:0]", true},       // range
        {"reg 8 ! v [3:0]", "reg 4 ! v [3:0]", true},       // width
        {"reg 4 ! v[3:0]", "reg 4 ! v [3:0]", false},       // the range as a token of its own or not
        {"real 64 ! r", "real 1 ! r", false},               // a real's size
        {"real 32 ! r", "real 1 ! r", true},
        {"integer 64 ! r", "integer 1 ! r", true},
        {"reg 1 ! z [3]", "reg 1 ! z [3:3]", false},        // a one-bit vector's range
        {"reg 1 ! z [2]", "reg 1 ! z [3:3]", true},
        {"reg 2 ! z [3]", "reg 2 ! z [3:3]", true},
        {"reg 1 ! z", "reg 1 ! z [3:3]", true},
    };
    for (const Case &c : kCases) {
        auto file = [&](const char *name, const char *declaration) {
            return ReadVcd(Write(name, std::string("$scope module top $end\n$var ") + declaration +
                                           " $end\n$upscope $end\n$enddefinitions $end\n#0\n"));
        };
        const std::vector<std::string> differences = CompareVcd(file("a.vcd", c.ours), file("b.vcd", c.theirs));
        EXPECT_EQ(differences.size(), c.differ ? 1u : 0u) << c.ours << " vs " << c.theirs;
        if (c.differ && !differences.empty()) {
            EXPECT_NE(differences[0].find(": declared ours"), std::string::npos) << differences[0];
        }
    }
}

TEST_F(VcdCompareTest, ScopeKindsAndRepeatedDeclarationsAreCompared) {
    const VcdFile a = ReadVcd(Write("a.vcd", "$scope module top $end\n$scope module g $end\n$var wire 1 ! w $end\n"
                                             "$upscope $end\n$var reg 1 \" s $end\n$var reg 1 # s[0] $end\n"
                                             "$upscope $end\n$enddefinitions $end\n#0\n0!\n0\"\n0#\n"));
    const VcdFile b = ReadVcd(Write("b.vcd", "$scope module top $end\n$scope begin g $end\n$var wire 1 ! w $end\n"
                                             "$upscope $end\n$var reg 1 \" s $end\n"
                                             "$upscope $end\n$enddefinitions $end\n#0\n0!\n0\"\n"));
    EXPECT_EQ(a.scopes.at("top.g"), "module");
    const std::vector<std::string> differences = CompareVcd(a, b);
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(differences[0], "top.g: scope kind ours module vs theirs begin");
    EXPECT_EQ(differences[1], "top.s: declared ours reg 1 s and reg 1 s [0] vs theirs reg 1 s");
}

TEST_F(VcdCompareTest, UnreadableFileIsAnError) {
    EXPECT_FALSE(ReadVcd("/nonexistent/file.vcd").error.empty());
}

}  // namespace
}  // namespace tavri::e2e
