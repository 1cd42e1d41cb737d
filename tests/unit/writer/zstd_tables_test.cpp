// zstd's match-finder tables are sized for the writer's blocks of at most
// 1 MB: a context that compressed a full block at any level stays small
// where the level would ask for tables of millions of entries, and every
// level still gives back exactly what went in.
#include <gtest/gtest.h>
#include <zstd.h>

#include <random>
#include <vector>

#include "writer/compressor.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

// A full block like a value-change stream: runs, small counters and noise,
// with a stretch repeated from far back.
std::vector<uint8_t> FullBlock() {
    std::vector<uint8_t> data(0x100000);
    std::mt19937 random(11);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = (i / 48) % 4 == 0 ? static_cast<uint8_t>(i / 512) : static_cast<uint8_t>(random() & 0x1F);
    }
    std::copy(data.begin(), data.begin() + 0x10000, data.end() - 0x10000);
    return data;
}

TEST(ZstdTables, EveryLevelComesBackWithAContextSizedForTheBlock) {
    const std::vector<uint8_t> block = FullBlock();
    for (int level = 1; level <= 19; ++level) {
        SCOPED_TRACE(level);
        Compressor *compressor = CompressorCreate();
        ASSERT_NE(compressor, nullptr);
        CompressorSetMethod(compressor, kCompressionMethodZstd);
        CompressorSetLevel(compressor, kCompressionMethodZstd, level);
        CompressorSetInput(compressor, block.data(), static_cast<uint32_t>(block.size()));
        const uint8_t *stored = nullptr;
        uint32_t length = 0;
        ASSERT_TRUE(Compress(compressor, &stored, &length));
        EXPECT_LT(length, block.size());
        // Levels 5 to 12 asked for 3.6 to 13 MB here, the binary-tree
        // levels for 17 to 18 MB, of which they keep a tree over the whole
        // block (8 MB).
        const size_t context = ZSTD_sizeof_CCtx(static_cast<ZSTD_CCtx *>(compressor->zstd_compress));
        EXPECT_LE(context, level < 13 ? size_t{3} << 20 : size_t{11} << 20);
        const std::vector<uint8_t> frame(stored, stored + length);
        CompressorSetInput(compressor, frame.data(), length);
        const uint8_t *out = nullptr;
        uint32_t out_length = 0;
        ASSERT_TRUE(Decompress(compressor, &out, &out_length));
        EXPECT_TRUE(std::vector<uint8_t>(out, out + out_length) == block);
        CompressorFree(compressor);
    }
}

}  // namespace
}  // namespace tavri::test
