// trax svg: a well-formed picture with a row per signal and every value of
// the chosen stretch in it, also a pulse too narrow to see, values in
// every form, and text that XML must escape.
#include <fstream>

#include "tool_test_util.h"
#include "xml_reader.h"

namespace tavri::tool_test {
namespace {

class TraxSvg : public ToolTest {
  protected:
    // Draws and reads back the picture; the root is null on failure.
    XmlElement Draw(const std::vector<std::string> &args) {
        const std::string svg = PathFor("wave.svg");
        std::vector<std::string> all{"svg"};
        all.insert(all.end(), args.begin(), args.end());
        all.insert(all.end(), {"-o", svg});
        const Outcome run = Trax(all);
        EXPECT_EQ(run.status, 0) << run.err;
        XmlElement root;
        std::string error;
        EXPECT_TRUE(ReadXml(ReadFile(svg), &root, &error)) << error;
        return root;
    }
    std::string Vcd(const std::string &name, const std::string &text) {
        const std::string path = PathFor(name);
        std::ofstream(path) << text;
        return path;
    }
    // The titles of one signal's row: "PATH = VALUE @ FROM..TO".
    static std::vector<std::string> Titles(const XmlElement &root, const std::string &path) {
        std::vector<std::string> titles;
        for (const XmlElement *group : root.All("g")) {
            if (group->Attribute("class") != "signal" || group->Attribute("data-path") != path) continue;
            for (const XmlElement *title : group->All("title")) titles.push_back(title->text);
        }
        return titles;
    }
    static std::vector<std::string> Paths(const XmlElement &root) {
        std::vector<std::string> paths;
        for (const XmlElement *group : root.All("g")) {
            if (group->Attribute("class") == "signal") paths.push_back(group->Attribute("data-path"));
        }
        return paths;
    }
    // The class of the element that carries each title of a row, in order.
    static std::vector<std::string> Shapes(const XmlElement &root, const std::string &path) {
        std::vector<std::string> shapes;
        for (const XmlElement *group : root.All("g")) {
            if (group->Attribute("class") != "signal" || group->Attribute("data-path") != path) continue;
            for (const XmlElement &child : group->children) {
                if (child.Child("title") != nullptr) shapes.push_back(child.name + "." + child.Attribute("class"));
            }
        }
        return shapes;
    }
};

TEST_F(TraxSvg, EveryValueOfEverySignalIsInThePicture) {
    const std::string trax = PathFor("sample.trax");
    WriteSample(trax);
    const XmlElement root = Draw({trax, "--var", "top"});
    ASSERT_EQ(root.name, "svg");
    EXPECT_EQ(root.Attribute("data-from"), "0");
    EXPECT_EQ(root.Attribute("data-to"), "50");
    EXPECT_EQ(Paths(root), (std::vector<std::string>{"top.clk", "top.cpu.data", "top.cpu.clk", "top.cpu.blk.r",
                                                     "top.io.msg", "top.io.drive", "top.io.flag", "top.io.count",
                                                     "top.io.ev"}));
    // Dumping is off from 30 to 40: logic values are x there, reals NaN.
    const std::vector<std::string> clk = {"top.clk = 0 @ 0..10", "top.clk = 1 @ 10..20", "top.clk = 0 @ 20..30",
                                          "top.clk = x @ 30..40", "top.clk = 1 @ 40..50"};
    EXPECT_EQ(Titles(root, "top.clk"), clk);
    EXPECT_EQ(Shapes(root, "top.clk"), (std::vector<std::string>{"line.v0", "line.v1", "line.v0", "rect.vx", "line.v1"}));
    EXPECT_EQ(Titles(root, "top.cpu.data"),
              (std::vector<std::string>{"top.cpu.data = 00001010 @ 0..10", "top.cpu.data = 1x0z0000 @ 10..30",
                                        "top.cpu.data = xxxxxxxx @ 30..40", "top.cpu.data = 1x0z0000 @ 40..50",
                                        "top.cpu.data = 11111111 @ 50..50"}));
    EXPECT_EQ(Titles(root, "top.cpu.blk.r"),
              (std::vector<std::string>{"top.cpu.blk.r = 3.25 @ 0..30", "top.cpu.blk.r = nan @ 30..40",
                                        "top.cpu.blk.r = -0.5 @ 40..50"}));
    EXPECT_EQ(Titles(root, "top.io.msg"),
              (std::vector<std::string>{"top.io.msg = \"hello world\" @ 0..20", "top.io.msg = \"\" @ 20..50"}));
    EXPECT_EQ(Titles(root, "top.io.flag"),
              (std::vector<std::string>{"top.io.flag = x @ 0..50", "top.io.flag = 1 @ 50..50"}));
    EXPECT_EQ(Titles(root, "top.io.ev"), (std::vector<std::string>{"top.io.ev = 1 @ 20..20"}));
    EXPECT_EQ(Shapes(root, "top.io.ev"), (std::vector<std::string>{"g.event"}));
    // Buses carry their value as a label where it fits.
    std::vector<std::string> labels;
    for (const XmlElement *group : root.All("g")) {
        if (group->Attribute("class") == "bus" && group->Child("text") != nullptr) {
            labels.push_back(group->Child("text")->text);
        }
    }
    for (const char *label : {"0a", "1x0z0000", "x", "3.25", "-0.5", "\"hello world\"", "00000005", "00000006"}) {
        EXPECT_NE(std::find(labels.begin(), labels.end(), label), labels.end()) << label;
    }
}

TEST_F(TraxSvg, AStretchStartsWithTheValueBeforeItAndEndsAtItsEnd) {
    const std::string trax = PathFor("sample.trax");
    WriteSample(trax);
    const XmlElement root = Draw({trax, "--var", "top/clk", "--var", "top.cpu.data", "--from", "15", "--to", "45"});
    EXPECT_EQ(root.Attribute("data-from"), "15");
    EXPECT_EQ(root.Attribute("data-to"), "45");
    EXPECT_EQ(Paths(root), (std::vector<std::string>{"top.clk", "top.cpu.data"}));
    EXPECT_EQ(Titles(root, "top.clk"), (std::vector<std::string>{"top.clk = 1 @ 15..20", "top.clk = 0 @ 20..30",
                                                                 "top.clk = x @ 30..40", "top.clk = 1 @ 40..45"}));
    EXPECT_EQ(Titles(root, "top.cpu.data"),
              (std::vector<std::string>{"top.cpu.data = 1x0z0000 @ 15..30", "top.cpu.data = xxxxxxxx @ 30..40",
                                        "top.cpu.data = 1x0z0000 @ 40..45"}));
}

TEST_F(TraxSvg, APulseTooNarrowToSeeIsKeptAndTextIsEscaped) {
    const std::string vcd = Vcd("narrow.vcd",
                                "$timescale 1ns $end\n$scope module top $end\n$var wire 1 ! s $end\n"
                                "$var reg 4 \" v [3:0] $end\n$var string 1 # t $end\n$var wire 1 $ <&> $end\n"
                                "$upscope $end\n$enddefinitions $end\n"
                                "#0\n0!\nb0 \"\ns<a&b>\"\\x01 #\nz$\n#5000\n1!\n#5001\n0!\n#7000\nb111 \"\n#7001\nb1000 \"\n"
                                "#10000\n1$\n");
    const XmlElement root = Draw({vcd, "--var", "top"});
    EXPECT_EQ(Titles(root, "top.s"), (std::vector<std::string>{"top.s = 0 @ 0..5000", "top.s = 1 @ 5000..5001",
                                                               "top.s = 0 @ 5001..10000"}));
    EXPECT_EQ(Titles(root, "top.v"),
              (std::vector<std::string>{"top.v = 0000 @ 0..7000", "top.v = 0111 @ 7000..7001",
                                        "top.v = 1000 @ 7001..10000"}));
    EXPECT_EQ(Titles(root, "top.t"), (std::vector<std::string>{"top.t = \"<a&b>\"\\x01\" @ 0..10000"}));
    EXPECT_EQ(Titles(root, "top.<&>"),
              (std::vector<std::string>{"top.<&> = z @ 0..10000", "top.<&> = 1 @ 10000..10000"}));
    // The narrow bus value is still drawn, a pixel wide at least.
    bool found = false;
    for (const XmlElement *group : root.All("g")) {
        if (group->Attribute("class") != "bus") continue;
        const XmlElement *title = group->Child("title");
        if (title == nullptr || title->text != "top.v = 0111 @ 7000..7001") continue;
        found = group->Child("polygon") != nullptr;
    }
    EXPECT_TRUE(found);
}

TEST_F(TraxSvg, ChangesTooDenseToDrawAreCountedNotLost) {
    // 20000 changes over 960 pixel columns: eight a column are drawn, the
    // rest counted in a mark; drawn and counted add up to all of them.
    constexpr int kChanges = 20000;
    std::string body = "#0\n0!\n";
    for (int t = 1; t < kChanges; ++t) body += "#" + std::to_string(t) + "\n" + (t % 2 != 0 ? "1!\n" : "0!\n");
    const std::string vcd = Vcd("dense.vcd", "$timescale 1ns $end\n$scope module top $end\n$var wire 1 ! s $end\n"
                                             "$upscope $end\n$enddefinitions $end\n" + body);
    const XmlElement root = Draw({vcd, "--var", "top.s"});
    EXPECT_EQ(root.Attribute("data-to"), std::to_string(kChanges - 1));
    uint64_t drawn = 0, hidden = 0;
    for (const std::string &title : Titles(root, "top.s")) {
        const size_t at = title.find(" changes hidden @ ");
        if (at == std::string::npos) {
            ++drawn;
        } else {
            hidden += std::stoull(title.substr(std::string("top.s: ").size()));
        }
    }
    EXPECT_EQ(drawn + hidden, static_cast<uint64_t>(kChanges));
    EXPECT_GT(hidden, 0u);
    EXPECT_LE(drawn, 960u * 8 + 1);
}

TEST_F(TraxSvg, RefusesSignalsItCannotFindAndMissingArguments) {
    const std::string trax = PathFor("sample.trax");
    WriteSample(trax);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"svg", trax, "--var", "top.nothing", "-o", PathFor("a.svg")}, ": no signal top.nothing"},
        {{"svg", trax, "-o", PathFor("a.svg")}, "svg needs the signals to draw: --var PATH"},
        {{"svg", trax, "--var", "top"}, "svg needs an output file: -o OUT.svg"},
        {{"svg", PathFor("none.trax"), "--var", "top", "-o", PathFor("a.svg")}, "none.trax"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Outcome run = Trax(c.args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(PathFor("a.svg")));
    }
}

}  // namespace
}  // namespace tavri::tool_test
