// trax vcd: the header, scopes and variables, identifiers shared by
// aliases, reals, strings, $dumpoff/$dumpon sections, and a structural
// reading of the whole output; GTKWave's own converter reads it when it is
// installed.
#include <map>
#include <set>
#include <sstream>

#include "tavri/trax_reader.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

class TraxVcd : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        file_ = PathFor("sample.trax");
        vcd_ = PathFor("sample.vcd");
        WriteSample(file_);
        const Outcome run = Trax({"vcd", file_, "-o", vcd_});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        text_ = ReadFile(vcd_);
        lines_ = Lines(text_);
    }
    // The lines from the one equal to `first` up to the next "$end".
    std::vector<std::string> Section(const std::string &first) const {
        std::vector<std::string> section;
        bool in = false;
        for (const std::string &line : lines_) {
            if (line == first) in = true;
            if (in) section.push_back(line);
            if (in && line == "$end") break;
        }
        return section;
    }
    std::string file_, vcd_, text_;
    std::vector<std::string> lines_;
};

TEST_F(TraxVcd, DefinitionsCarryScopesTypesWidthsAndSharedIdentifiers) {
    EXPECT_EQ(Section("$timescale"), (std::vector<std::string>{"$timescale", "\t10ps", "$end"}));
    EXPECT_EQ(VcdDefinitions(lines_), (std::vector<std::string>{
                               "$scope module top $end",
                               "$var wire 1 \" clk $end",
                               "$scope task cpu $end",
                               "$var reg 8 # data [7:0] $end",
                               "$var wire 1 \" clk $end",
                               "$scope begin blk $end",
                               "$var real 64 $ r $end",
                               "$upscope $end",
                               "$upscope $end",
                               "$scope function io $end",
                               "$var string 1 % msg $end",
                               "$var wire 1 & drive $end",
                               "$var reg 1 ' flag $end",
                               "$var integer 32 ( count [31:0] $end",
                               "$var event 1 ) ev $end",
                               "$upscope $end",
                               "$upscope $end",
                           }));
}

TEST_F(TraxVcd, ValuesRealsStringsAndDumpSections) {
    auto at = [&](const std::string &stamp) {
        std::vector<std::string> block;
        bool in = false;
        for (const std::string &line : lines_) {
            if (!line.empty() && line[0] == '#') in = line == stamp;
            else if (in) block.push_back(line);
        }
        return block;
    };
    EXPECT_EQ(at("#0"), (std::vector<std::string>{"0\"", "b00001010 #", "r3.25 $",
                                                  "shello\\x20world %", "1&", "x'",
                                                  "b" + std::string(29, '0') + "101 ("}));
    EXPECT_EQ(at("#20"), (std::vector<std::string>{"0\"", "s %", "1)"}));
    EXPECT_EQ(at("#30"), (std::vector<std::string>{"$dumpoff", "x\"", "bx #", "x&", "x'",
                                                   "bx (", "$end"}));
    // Dumping on again shows every variable's last value, then the changes.
    EXPECT_EQ(at("#40"), (std::vector<std::string>{"$dumpon", "0\"", "b1x0z0000 #", "r3.25 $",
                                                   "s %", "1&", "x'",
                                                   "b" + std::string(29, '0') + "101 (", "$end",
                                                   "1\"", "r-0.5 $",
                                                   "b" + std::string(29, '0') + "110 ("}));
}

// Reads the VCD as a tool would: balanced scopes, every identifier used is
// declared, time only goes forward, every value fits its declaration.
TEST_F(TraxVcd, WholeOutputIsWellFormed) {
    std::map<std::string, std::pair<std::string, unsigned>> declared;  // id -> type, width
    int depth = 0;
    bool in_definitions = true;
    long long time = -1;
    std::istringstream in(text_);
    for (std::string token; in >> token;) {
        if (in_definitions) {
            if (token == "$scope") ++depth;
            if (token == "$upscope") --depth;
            ASSERT_GE(depth, 0);
            if (token == "$var") {
                std::string type, id;
                unsigned width = 0;
                in >> type >> width >> id;
                declared[id] = {type, width};
            }
            if (token == "$enddefinitions") in_definitions = false;
            continue;
        }
        if (token == "$dumpoff" || token == "$dumpon" || token == "$end") continue;
        if (token[0] == '#') {
            const long long next = std::stoll(token.substr(1));
            EXPECT_GT(next, time) << "time must go forward";
            time = next;
            continue;
        }
        std::string id;
        const char kind = token[0];
        if (kind == 'b' || kind == 'r' || kind == 's') {
            in >> id;
        } else {
            id = token.substr(1);
        }
        ASSERT_TRUE(declared.count(id)) << "undeclared identifier in " << token << " " << id;
        const auto &[type, width] = declared[id];
        if (kind == 'b') {
            EXPECT_TRUE(token.size() - 1 == width || token == "bx") << token << " for " << id;
        } else if (kind == 'r') {
            EXPECT_EQ(type, "real");
        } else if (kind == 's') {
            EXPECT_EQ(type, "string");
        } else {
            EXPECT_EQ(width, 1u) << token;
            EXPECT_NE(std::string("01xz").find(kind), std::string::npos) << token;
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_FALSE(in_definitions);
    EXPECT_EQ(time, 50);
}

TEST_F(TraxVcd, GtkwaveReadsTheOutput) {
    if (!std::filesystem::exists("/usr/bin/vcd2fst") || !std::filesystem::exists("/usr/bin/fst2vcd")) {
        GTEST_SKIP() << "GTKWave's vcd2fst and fst2vcd are not installed";
    }
    const std::string fst = PathFor("sample.fst"), back = PathFor("back.vcd");
    ASSERT_EQ(std::system(("/usr/bin/vcd2fst " + vcd_ + " " + fst + " >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("/usr/bin/fst2vcd " + fst + " > " + back + " 2>/dev/null").c_str()), 0);
    const std::string round = ReadFile(back);
    for (const char *expected : {"$var string", "$var real 64", "shello\\040world", "r-0.5",
                                 "$dumpoff", "$dumpon", "b11111111", "#50"}) {
        EXPECT_NE(round.find(expected), std::string::npos) << expected << "\n" << round;
    }
}

TEST_F(TraxVcd, StandardOutputAndAFailedReadLeavesNoFile) {
    const Outcome run = Trax({"vcd", file_, "-o", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, text_);
    // The second session's value-change block damaged: the export fails
    // half-way and removes what it had written.
    traxrReader *reader = nullptr;
    ASSERT_EQ(traxr_Open(file_.c_str(), &reader, nullptr, 0), TRAXR_OK);
    traxrBlockLayout layout{};
    ASSERT_EQ(traxr_GetSessionBlock(reader, 1, TRAXR_BLOCK_VC, 0, &layout), TRAXR_OK);
    traxr_Close(reader);
    std::vector<uint8_t> bytes = ReadBytes(file_);
    const std::string broken = PathFor("broken.trax"), out = PathFor("broken.vcd");
    for (uint32_t i = 0; i < layout.stored_length; ++i) bytes[layout.offset + i] ^= 0x5A;
    WriteBytes(broken, bytes);
    const Outcome failed = Trax({"vcd", broken, "-o", out});
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.ErrLines().size(), 1u) << failed.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace tavri::tool_test
