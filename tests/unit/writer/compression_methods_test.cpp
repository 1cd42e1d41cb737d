// The two block compressions and their levels: exact round trips of every
// row of the method table, LZO1B's higher levels writing the stream its one
// decompressor reads, zstd contexts sized for the block at every level, the
// user's settings, and a method fixed once blocks are stored.
#include <lzo/lzo1b.h>
#include <zstd.h>

#include <random>

#include "writer/compressor.h"
#include "writer/header_layout.h"
#include "writer_fixture.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

// A megabyte like a value-change stream: runs, small counters and noise.
std::vector<uint8_t> BlockLikeData() {
    std::vector<uint8_t> data(0x100000);
    std::mt19937 random(7);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(i / 640) : static_cast<uint8_t>(random() & 0x0F);
    }
    return data;
}

// `input` compressed by `compressor` with zstd at `level`.
std::vector<uint8_t> ZstdFrame(Compressor *compressor, int level, const std::vector<uint8_t> &input) {
    CompressorSetMethod(compressor, kCompressionMethodZstd);
    CompressorSetLevel(compressor, kCompressionMethodZstd, level);
    CompressorSetInput(compressor, input.data(), static_cast<uint32_t>(input.size()));
    const uint8_t *stored = nullptr;
    uint32_t length = 0;
    EXPECT_TRUE(Compress(compressor, &stored, &length));
    return std::vector<uint8_t>(stored, stored + length);
}

TEST(CompressionMethods, EveryMethodAndLevelComesBackExactly) {
    struct Case {
        uint32_t method;
        int level;
    };
    const Case cases[] = {{0, 1}, {0, 5}, {0, 9}, {0, 99}, {1, 1}, {1, 3}, {1, 7}, {1, 16}, {1, 19}};
    const std::vector<uint8_t> input = BlockLikeData();
    const std::vector<uint8_t> five = {1, 2, 3, 4, 5};
    Compressor *compressor = CompressorCreate();
    ASSERT_NE(compressor, nullptr);
    std::vector<uint8_t> decoder_input;
    for (const Case &c : cases) {
        SCOPED_TRACE(CompressionChoiceText({c.method, c.level}));
        CompressorSetMethod(compressor, c.method);
        CompressorSetLevel(compressor, c.method, c.level);
        for (const std::vector<uint8_t> *data : {&input, &five}) {
            CompressorSetInput(compressor, data->data(), static_cast<uint32_t>(data->size()));
            const uint8_t *stored = nullptr;
            uint32_t length = 0;
            ASSERT_TRUE(Compress(compressor, &stored, &length));
            ASSERT_GT(length, 0u);
            if (data == &input) {
                EXPECT_LT(length, input.size());
            }
            decoder_input.assign(stored, stored + length);
            if (c.method == kCompressionMethodLzo1b) {
                // Every level writes what the one LZO1B decompressor reads.
                std::vector<uint8_t> out(data->size());
                lzo_uint produced = out.size();
                ASSERT_EQ(lzo1b_decompress_safe(decoder_input.data(), length, out.data(), &produced,
                                                nullptr),
                          LZO_E_OK);
                out.resize(produced);
                EXPECT_EQ(out, *data);
            }
            CompressorSetInput(compressor, decoder_input.data(), length);
            const uint8_t *out = nullptr;
            uint32_t out_length = 0;
            ASSERT_TRUE(Decompress(compressor, &out, &out_length));
            EXPECT_EQ(std::vector<uint8_t>(out, out + out_length), *data);
        }
    }
    CompressorFree(compressor);
}

TEST(CompressionMethods, ZstdRefusesTrailingAndMissingBytes) {
    Compressor *compressor = CompressorCreate();
    ASSERT_NE(compressor, nullptr);
    CompressorSetMethod(compressor, kCompressionMethodZstd);
    const std::vector<uint8_t> input = BlockLikeData();
    CompressorSetInput(compressor, input.data(), static_cast<uint32_t>(input.size()));
    const uint8_t *stored = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(Compress(compressor, &stored, &length));
    const std::vector<uint8_t> frame(stored, stored + length);
    const std::vector<uint8_t> longer = [&] {
        std::vector<uint8_t> bytes = frame;
        bytes.push_back(0);
        return bytes;
    }();
    const std::vector<uint8_t> shorter(frame.begin(), frame.end() - 1);
    for (const std::vector<uint8_t> *bad : {&longer, &shorter}) {
        CompressorSetInput(compressor, bad->data(), static_cast<uint32_t>(bad->size()));
        const uint8_t *out = nullptr;
        uint32_t out_length = 0;
        EXPECT_FALSE(Decompress(compressor, &out, &out_length));
        EXPECT_EQ(out, nullptr);
    }
    CompressorFree(compressor);
}

// A compressor reused at another level writes what a new one at that level
// writes: no setting of an earlier level (its minimum match) stays behind.
TEST(CompressionMethods, ZstdLevelChangeLeavesNothingBehind) {
    const std::vector<uint8_t> input = BlockLikeData();
    Compressor *reused = CompressorCreate();
    ASSERT_NE(reused, nullptr);
    for (const int level : {kDefaultZstdLevel, 19, 1, kDefaultZstdLevel, 16, 2}) {
        SCOPED_TRACE(level);
        Compressor *fresh = CompressorCreate();
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(ZstdFrame(reused, level, input), ZstdFrame(fresh, level, input));
        CompressorFree(fresh);
    }
    CompressorFree(reused);
}

// zstd's match-finder tables are sized for blocks of at most 1 MB: a
// context that compressed a full block stays small where the level would
// ask for tables of millions of entries, and every level comes back exact.
// A quick compression caps a deep zstd level at the quick one, never raises
// a lower level, leaves LZO1B's level alone, and does not stay with the
// compressor for the value-change blocks that follow.
TEST(CompressionMethods, QuickBlocksCapTheLevelForThatBlockOnly) {
    struct Case {
        uint32_t method;
        int level;
        int quick_level;  // what a quick block must match
    };
    const Case cases[] = {{1, 19, kQuickZstdLevel}, {1, 7, kQuickZstdLevel}, {1, 1, 1}, {0, 9, 9}};
    const std::vector<uint8_t> input = BlockLikeData();
    Compressor *compressor = CompressorCreate();
    ASSERT_NE(compressor, nullptr);
    auto frame = [&](int level, bool quick) {
        CompressorSetLevel(compressor, compressor->method, level);
        CompressorSetInput(compressor, input.data(), static_cast<uint32_t>(input.size()));
        const uint8_t *stored = nullptr;
        uint32_t length = 0;
        EXPECT_TRUE(quick ? CompressQuickly(compressor, &stored, &length)
                          : Compress(compressor, &stored, &length));
        return std::vector<uint8_t>(stored, stored + length);
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(CompressionChoiceText({c.method, c.level}));
        CompressorSetMethod(compressor, c.method);
        const std::vector<uint8_t> expected_quick = frame(c.quick_level, false);
        const std::vector<uint8_t> full = frame(c.level, false);
        EXPECT_EQ(frame(c.level, true), expected_quick);
        EXPECT_EQ(frame(c.level, false), full);
    }
    CompressorFree(compressor);
}

TEST(CompressionMethods, ZstdContextIsSizedForTheBlockAtEveryLevel) {
    const std::vector<uint8_t> block = BlockLikeData();
    for (int level = 1; level <= 19; ++level) {
        SCOPED_TRACE(level);
        Compressor *compressor = CompressorCreate();
        ASSERT_NE(compressor, nullptr);
        const std::vector<uint8_t> frame = ZstdFrame(compressor, level, block);
        ASSERT_FALSE(frame.empty());
        EXPECT_LT(frame.size(), block.size());
        // Levels 5 to 12 asked for 3.6 to 13 MB here, the binary-tree
        // levels for 17 to 18 MB, of which they keep a tree over the whole
        // block (8 MB).
        const size_t context = ZSTD_sizeof_CCtx(static_cast<ZSTD_CCtx *>(compressor->zstd_compress));
        EXPECT_LE(context, level < 13 ? size_t{3} << 20 : size_t{11} << 20);
        CompressorSetInput(compressor, frame.data(), static_cast<uint32_t>(frame.size()));
        const uint8_t *out = nullptr;
        uint32_t out_length = 0;
        ASSERT_TRUE(Decompress(compressor, &out, &out_length));
        EXPECT_TRUE(std::vector<uint8_t>(out, out + out_length) == block);
        CompressorFree(compressor);
    }
}

TEST(CompressionMethods, SettingsOfTheUser) {
    struct Case {
        const char *text;
        bool valid;
        uint32_t method;
        int level;
    };
    const Case cases[] = {
        {"lzo1b", true, 0, 1},   {"LZO1B:9", true, 0, 9},  {"lzo1b:99", true, 0, 99},
        {"zstd", true, 1, 7},    {"zstd:1", true, 1, 1},   {"Zstd:19", true, 1, 19},
        {"zstd:0", false, 0, 0}, {"zstd:20", false, 0, 0}, {"lzo1b:10", false, 0, 0},
        {"lzo1b:999", false, 0, 0}, {"zstd:", false, 0, 0}, {"zstd:3x", false, 0, 0},
        {"zstd:-1", false, 0, 0}, {"zstd3", false, 0, 0}, {"", false, 0, 0},
        {"gzip", false, 0, 0},   {"zstd:00003", false, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t method = 77;
        int level = 77;
        const int status = txw_ParseCompression(c.text, &method, &level);
        EXPECT_EQ(status == 0, c.valid);
        if (c.valid) {
            EXPECT_EQ(method, c.method);
            EXPECT_EQ(level, c.level);
        } else {
            EXPECT_EQ(method, 77u);
        }
    }
    EXPECT_NE(txw_ParseCompression(nullptr, nullptr, nullptr), 0);
}

class SetCompression : public WriterTest {};

TEST_F(SetCompression, RecordedInTheHeaderAndFixedOnceBlocksAreStored) {
    txwObject *obj = txw_OpenFile(Path("z.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_NE(txw_SetCompression(obj, 2, 1), 0);
    EXPECT_NE(txw_SetCompression(obj, 1, 25), 0);
    EXPECT_EQ(obj->header.U8(kHdrCompression), 0);
    ASSERT_EQ(txw_SetCompression(obj, 1, 5), 0);
    EXPECT_EQ(ReadFileBytes(Path("z.trax"))[kHdrCompression], 1) << "written in place at once";
    EXPECT_TRUE(txw_BeginTree(obj));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    txw_CreateScope(obj, &scope);
    txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0);
    EXPECT_EQ(txw_EndTree(obj), 0);
    CapturedWarnings().clear();
    EXPECT_NE(txw_SetCompression(obj, 0, 1), 0);
    ASSERT_EQ(CapturedWarnings().size(), 1u);
    EXPECT_EQ(CapturedWarnings()[0], "txw_SetCompression(): blocks are already stored with method 1.\n");
    EXPECT_EQ(txw_SetCompression(obj, 1, 9), 0) << "another level of the same method";
    EXPECT_EQ(txw_CloseFile(obj), 0);
    EXPECT_EQ(ReadFileBytes(Path("z.trax"))[kHdrCompression], 1);
}

}  // namespace
}  // namespace tavri::test
