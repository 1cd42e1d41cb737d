// Essential-signal information through the writer and the reader: the
// table and expression data a template hands over end up byte for byte in
// the side files of the live file and behind the data of the finished one,
// also after a file switch; the reader finds the sizes from the layout.
#include <filesystem>

#include "esd_template_builder.h"
#include "roundtrip_util.h"

namespace tavri::test {
namespace {

class EsdInfoTest : public RoundTripTest {
  protected:
    std::string PathOf(const std::string &name) const { return (dir_ / name).string(); }

    // Reads the information of a file: status, and the bytes when found.
    static traxrStatus InfoOf(const std::string &path, TemplateEsd *out, traxrEsdInfo *info) {
        Reading file(path);
        EXPECT_EQ(file.status, TRAXR_OK) << file.message;
        const traxrStatus status = traxr_GetEsdInfo(file.reader, info);
        if (status == TRAXR_OK) {
            out->table.assign(info->table, info->table + info->table_size);
            out->data.assign(info->data, info->data + info->data_size);
        }
        return status;
    }

    static std::vector<TemplateScope> Tree() {
        return {TemplateScope{"top", {{"clk"}, {"bus", 7, 0}}, {TemplateScope{"u1", {{"a"}}, {}}}}};
    }
};

TEST_F(EsdInfoTest, FinishedFileHoldsDataThenTableBeforeTheChainTable) {
    struct Case {
        const char *name;
        uint32_t entries;
        uint32_t data_size;
    };
    const std::vector<Case> cases = {
        {"both", 3, 45}, {"table_only", 2, 0}, {"data_only", 0, 17}, {"one_byte", 1, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf(std::string(c.name) + ".trax");
        const TemplateEsd esd = PatternEsd(c.entries, c.data_size);
        WriteTemplate(path, Tree(), &esd, 5, false);
        TemplateEsd read;
        traxrEsdInfo info{};
        ASSERT_EQ(InfoOf(path, &read, &info), TRAXR_OK);
        EXPECT_EQ(info.in_side_files, 0);
        EXPECT_EQ(read.table, esd.table);
        EXPECT_EQ(read.data, esd.data);
        EXPECT_EQ(info.table_entries, c.entries);
        traxrHeader header{};
        ASSERT_EQ(traxr_ReadHeader(path.c_str(), &header, nullptr, 0), TRAXR_OK);
        EXPECT_EQ(header.esd_var_count, 5u);
        EXPECT_EQ(header.esd_uoff != 0, c.data_size != 0);
        EXPECT_EQ(header.esd_table_uoff != 0, c.entries != 0);
        if (c.data_size != 0 && c.entries != 0) {
            EXPECT_EQ(header.esd_uoff + c.data_size, header.esd_table_uoff);
        }
        const uint64_t last = c.entries != 0 ? header.esd_table_uoff + c.entries * 8 : header.esd_uoff + c.data_size;
        EXPECT_EQ(last, header.chain_uoff);
        EXPECT_FALSE(std::filesystem::exists(path + ".esd.exp"));
        EXPECT_FALSE(std::filesystem::exists(path + ".esd.tbl"));
        // The rest of the file still reads: the tree and its idcodes.
        Reading file(path);
        EXPECT_EQ(file.Names(2), std::vector<std::string>{"top.bus"});
    }
}

TEST_F(EsdInfoTest, FileWithoutInformationHasNone) {
    WriteTemplate(path_, Tree(), nullptr, 0, false);
    TemplateEsd read;
    traxrEsdInfo info{};
    EXPECT_EQ(InfoOf(path_, &read, &info), TRAXR_ERR_NOT_FOUND);
}

TEST_F(EsdInfoTest, LiveFileShowsItInSideFilesThatCloseRemoves) {
    const TemplateEsd esd = PatternEsd(4, 100);
    txwObject *obj = WriteTemplate(path_, Tree(), &esd, 4, true);
    ASSERT_NE(obj, nullptr);
    TemplateEsd read;
    traxrEsdInfo info{};
    ASSERT_EQ(InfoOf(path_, &read, &info), TRAXR_OK);
    EXPECT_EQ(info.in_side_files, 1);
    EXPECT_EQ(read.table, esd.table);
    EXPECT_EQ(read.data, esd.data);
    // A second hand-over replaces the first.
    const TemplateEsd other = PatternEsd(1, 3);
    ASSERT_EQ(txw_AppendForeignESDInfo(obj, 1, 8, 3, other.table.data(), other.data.data()), 0);
    ASSERT_EQ(InfoOf(path_, &read, &info), TRAXR_OK);
    EXPECT_EQ(read.table, other.table);
    EXPECT_EQ(read.data, other.data);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    EXPECT_FALSE(std::filesystem::exists(path_ + ".esd.exp"));
    EXPECT_FALSE(std::filesystem::exists(path_ + ".esd.tbl"));
    ASSERT_EQ(InfoOf(path_, &read, &info), TRAXR_OK);
    EXPECT_EQ(info.in_side_files, 0);
    EXPECT_EQ(read.table, other.table);
    EXPECT_EQ(read.data, other.data);
}

TEST_F(EsdInfoTest, RefusesATableThatIsNotWholeEntries) {
    txwObject *obj = Open();
    const uint8_t bytes[16] = {};
    EXPECT_EQ(txw_AppendForeignESDInfo(obj, 1, 12, 0, bytes, nullptr), -1);  // not a multiple of 8
    EXPECT_EQ(txw_AppendForeignESDInfo(obj, 3, 16, 0, bytes, nullptr), -1);  // count and size disagree
    EXPECT_EQ(txw_AppendForeignESDInfo(obj, 0, 0, 4, nullptr, nullptr), -1);  // data without bytes
    EXPECT_FALSE(std::filesystem::exists(path_ + ".esd.tbl"));
    ASSERT_EQ(txw_CloseFile(obj), 0);
    TemplateEsd read;
    traxrEsdInfo info{};
    EXPECT_EQ(InfoOf(path_, &read, &info), TRAXR_ERR_NOT_FOUND);
}

TEST_F(EsdInfoTest, SwitchedFilesEachCarryTheInformation) {
    const TemplateEsd esd = PatternEsd(2, 30);
    txwObject *obj = WriteTemplate(path_, Tree(), &esd, 2, true);
    ASSERT_NE(obj, nullptr);
    const std::string next = PathOf("next.trax");
    txwObject *switched = txw_SwitchFile(obj, next.c_str());
    ASSERT_NE(switched, nullptr);
    TemplateEsd read;
    traxrEsdInfo info{};
    ASSERT_EQ(InfoOf(path_, &read, &info), TRAXR_OK);  // the finished first file
    EXPECT_EQ(info.in_side_files, 0);
    EXPECT_EQ(read.data, esd.data);
    EXPECT_FALSE(std::filesystem::exists(path_ + ".esd.exp"));
    ASSERT_EQ(InfoOf(next, &read, &info), TRAXR_OK);  // the live second one
    EXPECT_EQ(info.in_side_files, 1);
    EXPECT_EQ(read.table, esd.table);
    EXPECT_EQ(read.data, esd.data);
    ASSERT_EQ(txw_CloseFile(switched), 0);
    ASSERT_EQ(InfoOf(next, &read, &info), TRAXR_OK);
    EXPECT_EQ(info.in_side_files, 0);
    EXPECT_EQ(read.table, esd.table);
    EXPECT_EQ(read.data, esd.data);
}

}  // namespace
}  // namespace tavri::test
