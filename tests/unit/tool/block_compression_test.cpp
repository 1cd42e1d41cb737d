// Files of both block compressions and every level read the same; the
// default file is byte for byte what it was; an unknown method is refused;
// trax convert recompresses finished files both ways and refuses what it
// cannot convert.
#include <algorithm>
#include <filesystem>
#include <map>

#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

// 64 scalars and a 40-bit vector changing over `steps` steps, flushed every
// 500 steps: sessions of several blocks, tree blocks in front of them.
// `method` < 0 leaves the writer's default.
void WriteBusy(const std::string &path, int method, int level, int steps) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    if (method >= 0) {
        ASSERT_EQ(txw_SetCompression(obj, static_cast<uint32_t>(method), level), 0);
    }
    txw_BeginTree(obj);
    Scope(obj, "top");
    for (int id = 1; id <= 64; ++id) {
        const std::string name = "s" + std::to_string(id);
        txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, id, name.c_str(), 0);
    }
    txw_CreateVarByVarIdcode(obj, 4, 0, 0, 39, 0, 65, "bus", 0);
    txw_EndScope(obj);
    ASSERT_EQ(txw_EndTree(obj), 0);
    uint32_t lfsr = 0xACE1u;
    for (int t = 0; t < steps; ++t) {
        txw_CreateXCoor(obj, 0, static_cast<uint32_t>(t) * 10);
        for (int id = 1; id <= 64; ++id) {
            lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
            if ((lfsr & 3) != 0) continue;
            const uint8_t bit = static_cast<uint8_t>(lfsr >> 2 & 1);
            txw_CreateVarValueByIdcode(obj, id, &bit, 1);
        }
        uint32_t words[4] = {lfsr * 2654435761u, 0, static_cast<uint32_t>(t) & 0xFF, 0};
        txw_CreateABBusValueByIdcode(obj, 65, words, 40);
        if (t % 500 == 499) txw_Flush(obj);
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

class TraxBlockCompression : public ToolTest {
  protected:
    std::string Vcd(const std::string &file) {
        const std::string vcd = file + ".vcd";
        const Outcome run = Trax({"vcd", file, "-o", vcd});
        EXPECT_EQ(run.status, 0) << run.err;
        return ReadFile(vcd);
    }
    Outcome Convert(const std::string &in, const std::string &out, const std::string &method) {
        return Trax({"convert", in, out, "--method", method});
    }
    // The file's bytes without what the clock wrote at creation: the birth
    // time and the creation-environment record (which holds the date).
    std::vector<uint8_t> Timeless(const std::string &file) {
        std::vector<uint8_t> bytes = ReadBytes(file);
        EXPECT_GT(bytes.size(), 2560u);
        if (bytes.size() <= 2560) return bytes;
        std::fill(bytes.begin() + 16, bytes.begin() + 24, 0);
        std::fill(bytes.begin() + 512, bytes.begin() + 2560, 0);
        return bytes;
    }
};

TEST_F(TraxBlockCompression, EveryMethodAndLevelReadsTheSameAndPassesCheck) {
    struct Case {
        int method, level;
        const char *info;
    };
    const Case cases[] = {{0, 1, "compression method: 0 (LZO1B)"},
                          {0, 9, "compression method: 0 (LZO1B)"},
                          {0, 99, "compression method: 0 (LZO1B)"},
                          {1, 1, "compression method: 1 (zstd)"},
                          {1, 3, "compression method: 1 (zstd)"},
                          {1, 19, "compression method: 1 (zstd)"}};
    const std::string reference_file = PathFor("default.trax");
    WriteBusy(reference_file, -1, 0, 3000);
    const std::string reference = Vcd(reference_file);
    ASSERT_FALSE(reference.empty());
    std::map<std::string, size_t> sizes;
    for (const Case &c : cases) {
        const std::string name = std::to_string(c.method) + "_" + std::to_string(c.level);
        SCOPED_TRACE(name);
        const std::string file = PathFor(name + ".trax");
        WriteBusy(file, c.method, c.level, 3000);
        EXPECT_EQ(Vcd(file), reference);
        const Outcome info = Trax({"info", file});
        EXPECT_TRUE(Contains(info.OutLines(), c.info)) << info.out;
        const Outcome check = Trax({"check", file});
        EXPECT_EQ(check.status, 0) << check.out << check.err;
        sizes[name] = ReadBytes(file).size();
    }
    // The default is LZO1B level 1, byte for byte.
    EXPECT_EQ(Timeless(reference_file), Timeless(PathFor("0_1.trax")));
    EXPECT_LT(sizes["0_9"], sizes["0_1"]);
    EXPECT_LT(sizes["1_3"], sizes["0_1"]);
    EXPECT_LE(sizes["1_19"], sizes["1_1"]);
}

TEST_F(TraxBlockCompression, AnUnknownMethodIsRefusedByEveryCommand) {
    const std::string file = PathFor("unknown.trax");
    WriteBusy(file, 1, 3, 200);
    std::vector<uint8_t> bytes = ReadBytes(file);
    bytes[65] = 2;
    WriteBytes(file, bytes);
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"info", file}, {"check", file}, {"vcd", file, "-o", PathFor("x.vcd")},
          {"convert", file, PathFor("out.trax"), "--method", "lzo1b"}}) {
        SCOPED_TRACE(args[0]);
        const Outcome run = Trax(args);
        EXPECT_NE(run.status, 0);
        EXPECT_NE((run.out + run.err).find("compression method 2 is not known"), std::string::npos)
            << run.out << run.err;
    }
}

TEST_F(TraxBlockCompression, ADamagedZstdBlockIsReportedByCheck) {
    const std::string file = PathFor("damaged.trax");
    WriteBusy(file, 1, 3, 200);
    std::vector<uint8_t> bytes = ReadBytes(file);
    // The first block (a scope block, read when the file is opened) follows
    // the header area; its frame header is overwritten.
    for (size_t at = 2816; at < 2816 + 8; ++at) bytes[at] ^= 0x5A;
    WriteBytes(file, bytes);
    const Outcome check = Trax({"check", file});
    EXPECT_EQ(check.status, 1) << check.out << check.err;
    EXPECT_NE(check.out.find("Failed to decompress a block, blk_layout = (2816, "),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("(zstd: Unknown frame descriptor)"), std::string::npos) << check.out;
}

TEST_F(TraxBlockCompression, ASwitchedFileKeepsTheMethodOfTheOneBefore) {
    const std::string first = PathFor("first.trax");
    const std::string second = PathFor("second.trax");
    txwObject *obj = OpenLiveScalar(first, {10, 20});
    ASSERT_NE(obj, nullptr);
    // The tree blocks are stored: the method is fixed by now.
    EXPECT_NE(txw_SetCompression(obj, 1, 3), 0);
    txw_CloseFile(obj);

    obj = txw_OpenFile(first.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    ASSERT_EQ(txw_SetCompression(obj, 1, 3), 0);
    txw_BeginTree(obj);
    Scope(obj, "top");
    txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0);
    txw_EndScope(obj);
    ASSERT_EQ(txw_EndTree(obj), 0);
    const uint8_t one = 1, zero = 0;
    txw_CreateXCoor(obj, 0, 10);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    obj = txw_SwitchFile(obj, second.c_str());
    ASSERT_NE(obj, nullptr);
    txw_CreateXCoor(obj, 0, 20);
    txw_CreateVarValueByIdcode(obj, 1, &zero, 1);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    for (const std::string &file : {first, second}) {
        SCOPED_TRACE(file);
        const Outcome info = Trax({"info", file});
        EXPECT_TRUE(Contains(info.OutLines(), "compression method: 1 (zstd)")) << info.out;
        const Outcome check = Trax({"check", file});
        EXPECT_EQ(check.status, 0) << check.out << check.err;
    }
    const Outcome dump = Trax({"dump", second});
    EXPECT_NE(dump.out.find("20 top/s 0"), std::string::npos) << dump.out;
}

TEST_F(TraxBlockCompression, ConvertBothWaysKeepsTheValuesAndComesBackByteForByte) {
    struct Case {
        const char *name;
        bool sample;  // the tool tests' sample design, else the busy file
    };
    for (const Case &c : {Case{"sample", true}, Case{"busy", false}}) {
        SCOPED_TRACE(c.name);
        const std::string original = PathFor(std::string(c.name) + ".trax");
        if (c.sample) {
            WriteSample(original);
        } else {
            WriteBusy(original, -1, 0, 3000);
        }
        const std::string zstd = PathFor(std::string(c.name) + "_zstd.trax");
        const std::string back = PathFor(std::string(c.name) + "_back.trax");
        const Outcome there = Convert(original, zstd, "zstd:5");
        ASSERT_EQ(there.status, 0) << there.err;
        EXPECT_NE(there.out.find(zstd + ": zstd:5, "), std::string::npos) << there.out;
        const Outcome info = Trax({"info", zstd});
        EXPECT_TRUE(Contains(info.OutLines(), "compression method: 1 (zstd)")) << info.out;
        EXPECT_EQ(Trax({"check", zstd}).status, 0);
        EXPECT_EQ(Vcd(zstd), Vcd(original));
        const Outcome dump_original = Trax({"dump", original});
        EXPECT_EQ(Trax({"dump", zstd}).out, dump_original.out);
        ASSERT_EQ(Convert(zstd, back, "lzo1b").status, 0);
        EXPECT_EQ(ReadBytes(back), ReadBytes(original));
    }
}

TEST_F(TraxBlockCompression, ConvertRefusesWhatItCannotConvert) {
    const std::string finished = PathFor("finished.trax");
    WriteBusy(finished, -1, 0, 50);
    const std::string live = PathFor("live.trax");
    txwObject *obj = OpenLiveScalar(live, {10, 20});
    ASSERT_NE(obj, nullptr);
    std::filesystem::create_symlink(finished, PathFor("link.trax"));
    struct Case {
        std::vector<std::string> args;
        const char *error;
    };
    const Case cases[] = {
        {{"convert", live, PathFor("o1.trax"), "--method", "zstd"}, "is not finished"},
        {{"convert", finished, finished, "--method", "zstd"}, "is the input file"},
        {{"convert", finished, PathFor("link.trax"), "--method", "zstd"}, "is the input file"},
        {{"convert", finished, PathFor("o2.trax"), "--method", "zstd:20"}, "--method takes"},
        {{"convert", finished, PathFor("o3.trax"), "--method", "lz4"}, "--method takes"},
        {{"convert", finished, PathFor("o4.trax")}, "convert needs --method"},
        {{"convert", finished, "--method", "zstd"}, "convert needs an output file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[2]);
        const Outcome run = Trax(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(PathFor("o1.trax")));
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::tool_test
