// trax info and trax check on essential-signal files: the esd fields and
// the sizes of the table and the data, read from a finished file or from
// the side files of a live one, and tables that are not whole entries.
#include <cstring>
#include <filesystem>

#include "tool_test_util.h"
#include "unit/roundtrip/esd_template_builder.h"

namespace tavri::tool_test {
namespace {

using test::PatternEsd;
using test::TemplateEsd;
using test::TemplateScope;
using test::WriteTemplate;

class TraxEsd : public ToolTest {
  protected:
    static std::vector<TemplateScope> Tree() { return {TemplateScope{"top", {{"clk"}, {"bus", 7, 0}}, {}}}; }

    bool HasLine(const Outcome &run, const std::string &text) {
        return run.out.find(text) != std::string::npos;
    }
};

TEST_F(TraxEsd, InfoAndCheckOfAFinishedFile) {
    const std::string path = PathFor("esd.trax");
    const TemplateEsd esd = PatternEsd(3, 45);
    WriteTemplate(path, Tree(), &esd, 3, false);
    const Outcome info = Trax({"info", path});
    ASSERT_EQ(info.status, 0) << info.err;
    for (const char *line : {"esd var count: 3", "esd information: in the file", "esd data size: 45",
                             "esd table size: 24", "esd table entries: 3"}) {
        EXPECT_TRUE(Contains(info.OutLines(), line)) << line << "\n" << info.out;
    }
    const Outcome check = Trax({"check", path});
    EXPECT_EQ(check.status, 0) << check.out << check.err;

    // Moving the table's start 3 bytes on leaves 21 bytes up to the chain table.
    std::vector<uint8_t> bytes = ReadBytes(path);
    uint32_t table_uoff = 0;
    std::memcpy(&table_uoff, bytes.data() + 296, 4);
    table_uoff += 3;
    std::memcpy(bytes.data() + 296, &table_uoff, 4);
    const std::string damaged = PathFor("damaged.trax");
    WriteBytes(damaged, bytes);
    const Outcome bad = Trax({"check", damaged});
    EXPECT_EQ(bad.status, 1) << bad.out;
    EXPECT_TRUE(HasLine(bad, "esd table: 21 bytes are not whole entries of 8 bytes")) << bad.out;
}

TEST_F(TraxEsd, InfoAndCheckOfALiveFileReadTheSideFiles) {
    const std::string path = PathFor("live.trax");
    const TemplateEsd esd = PatternEsd(2, 10);
    txwObject *obj = WriteTemplate(path, Tree(), &esd, 2, true);
    ASSERT_NE(obj, nullptr);
    const Outcome info = Trax({"info", path});
    ASSERT_EQ(info.status, 0) << info.err;
    for (const char *line : {"esd information: live, in the side files .esd.exp and .esd.tbl",
                             "esd data size: 10", "esd table size: 16", "esd table entries: 2"}) {
        EXPECT_TRUE(Contains(info.OutLines(), line)) << line << "\n" << info.out;
    }
    // A live file checks as not finished (3), with nothing wrong.
    const Outcome good = Trax({"check", path});
    EXPECT_EQ(good.status, 3) << good.out << good.err;
    EXPECT_FALSE(HasLine(good, "esd")) << good.out;
    std::filesystem::resize_file(path + ".esd.tbl", 13);
    const Outcome bad = Trax({"check", path});
    EXPECT_EQ(bad.status, 1) << bad.out;
    EXPECT_TRUE(HasLine(bad, "esd table: 13 bytes are not whole entries of 8 bytes")) << bad.out;
    txw_CloseFile(obj);
}

TEST_F(TraxEsd, AFileWithoutInformationShowsNoEsdLines) {
    const std::string path = PathFor("plain.trax");
    WriteTemplate(path, Tree(), nullptr, 0, false);
    const Outcome info = Trax({"info", path});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_FALSE(HasLine(info, "esd information")) << info.out;
    EXPECT_EQ(Trax({"check", path}).status, 0);
}

}  // namespace
}  // namespace tavri::tool_test
