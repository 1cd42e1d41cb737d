// Where trax vcd writes: a failed export leaves an existing output as it
// was, nothing the tool did not create is ever removed, and an output that
// is the input file under any name is refused.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "tavri/trax_reader.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

namespace fs = std::filesystem;

class VcdOutput : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        good_ = PathFor("good.trax");
        WriteSample(good_);
        // A file that opens but whose first value-change block is damaged:
        // the export fails after it has begun writing.
        traxrReader *reader = nullptr;
        ASSERT_EQ(traxr_Open(good_.c_str(), &reader, nullptr, 0), TRAXR_OK);
        traxrBlockLayout layout{};
        ASSERT_EQ(traxr_GetSessionBlock(reader, 0, TRAXR_BLOCK_VC, 0, &layout), TRAXR_OK);
        traxr_Close(reader);
        std::vector<uint8_t> bytes = ReadBytes(good_);
        bytes[layout.offset + layout.stored_length - 1] ^= 0xFF;
        bad_ = PathFor("bad.trax");
        WriteBytes(bad_, bytes);
    }
    // The names in the test directory, to see that no temporary file stays.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string good_, bad_;
};

TEST_F(VcdOutput, AFailedExportLeavesAnExistingFileAsItWas) {
    const std::string out = PathFor("out.vcd");
    WriteBytes(out, {'k', 'e', 'e', 'p'});
    const std::vector<std::string> before = Names();
    const Outcome run = Trax({"vcd", bad_, "-o", out});
    EXPECT_EQ(run.status, 2);
    ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
    EXPECT_EQ(ReadFile(out), "keep");
    EXPECT_EQ(Names(), before) << "a temporary file was left behind";
}

TEST_F(VcdOutput, AnExportReplacesAnExistingFileWholeAndKeepsItsMode) {
    const std::string out = PathFor("out.vcd");
    WriteBytes(out, std::vector<uint8_t>(100000, 0x01));
    ASSERT_EQ(chmod(out.c_str(), 0640), 0);
    const Outcome run = Trax({"vcd", good_, "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = ReadFile(out);
    EXPECT_EQ(text.rfind("$date", 0), 0u);
    EXPECT_EQ(text.find('\x01'), std::string::npos) << "bytes of the old file remain";
    struct stat status {};
    ASSERT_EQ(stat(out.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"bad.trax", "good.trax", "out.vcd"}));
}

// A device is written in place, through a link here (removing the link is
// what the old export did on failure), and never removed.
TEST_F(VcdOutput, ADeviceIsWrittenInPlaceAndNeverRemoved) {
    const std::string link = PathFor("null.vcd");
    fs::create_symlink("/dev/null", link);
    for (const std::string &input : {good_, bad_}) {
        const Outcome run = Trax({"vcd", input, "-o", link});
        EXPECT_EQ(run.status, input == good_ ? 0 : 2) << run.err;
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link))) << input;
        EXPECT_TRUE(fs::is_character_file(fs::status(link))) << input;
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"bad.trax", "good.trax", "null.vcd"}));
}

TEST_F(VcdOutput, TheInputFileUnderAnyNameIsRefused) {
    const std::vector<uint8_t> original = ReadBytes(good_);
    fs::create_hard_link(good_, PathFor("hard.trax"));
    fs::create_symlink(good_, PathFor("soft.trax"));
    const std::string dotted = (dir_ / "." / "good.trax").string();
    for (const std::string &out : {good_, dotted, PathFor("hard.trax"), PathFor("soft.trax")}) {
        const Outcome run = Trax({"vcd", good_, "-o", out});
        EXPECT_EQ(run.status, 2) << out;
        ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find("is the input file"), std::string::npos) << run.err;
        EXPECT_EQ(ReadBytes(good_), original) << out;
    }
}

TEST_F(VcdOutput, AnOutputThatCannotBeCreatedGivesTheReason) {
    const Outcome run = Trax({"vcd", good_, "-o", PathFor("no/such/dir/out.vcd")});
    EXPECT_EQ(run.status, 2);
    ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
    EXPECT_NE(run.err.find("no/such/dir/out.vcd: No such file or directory"), std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace tavri::tool_test
