// Block compression with LZO1B: exact round trips, the stored form of tiny
// blocks, methods without an implementation.
#include <lzo/lzo1b.h>

#include <random>

#include "writer_fixture.h"
#include "writer/compressor.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

std::vector<uint8_t> Decompress(const uint8_t *stored, uint32_t length, uint32_t expected) {
    std::vector<uint8_t> out(expected + 64);
    lzo_uint produced = out.size();
    const int status = lzo1b_decompress_safe(stored, length, out.data(), &produced, nullptr);
    EXPECT_EQ(status, LZO_E_OK);
    out.resize(produced);
    return out;
}

class CompressorTest : public ::testing::Test {
  protected:
    void SetUp() override { compressor_ = CompressorCreate(); ASSERT_NE(compressor_, nullptr); }
    void TearDown() override { CompressorFree(compressor_); }

    std::vector<uint8_t> Stored(const std::vector<uint8_t> &input) {
        CompressorSetInput(compressor_, input.data(), static_cast<uint32_t>(input.size()));
        const uint8_t *out = nullptr;
        uint32_t length = 0;
        EXPECT_TRUE(Compress(compressor_, &out, &length));
        return {out, out + length};
    }

    Compressor *compressor_ = nullptr;
};

TEST_F(CompressorTest, MegabyteOfZerosShrinksAndComesBackExactly) {
    const std::vector<uint8_t> zeros(0x100000, 0);
    const std::vector<uint8_t> stored = Stored(zeros);
    EXPECT_LT(stored.size(), 16u * 1024);
    EXPECT_EQ(Decompress(stored.data(), static_cast<uint32_t>(stored.size()), 0x100000), zeros);
}

TEST_F(CompressorTest, FiveBytesAreOneLiteralRunAndTheEndMark) {
    const std::vector<uint8_t> five{'a', 'b', 'c', 'd', 'e'};
    const std::vector<uint8_t> stored = Stored(five);
    EXPECT_EQ(stored, (std::vector<uint8_t>{5, 'a', 'b', 'c', 'd', 'e', 0x21, 0x00, 0x00}));
}

TEST_F(CompressorTest, EveryStreamEndsWithTheEndMark) {
    std::mt19937 random(7);
    std::vector<uint8_t> input(200000);
    for (size_t i = 0; i < input.size(); ++i) {
        input[i] = static_cast<uint8_t>(i % 97 < 50 ? random() : i);
    }
    const std::vector<uint8_t> stored = Stored(input);
    ASSERT_GE(stored.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(stored.end() - 3, stored.end()),
              (std::vector<uint8_t>{0x21, 0x00, 0x00}));
    EXPECT_EQ(Decompress(stored.data(), static_cast<uint32_t>(stored.size()), 200000), input);
}

TEST_F(CompressorTest, IncompressibleMegabyteFitsTheOutputArea) {
    std::mt19937 random(11);
    std::vector<uint8_t> noise(0x100000);
    for (uint8_t &byte : noise) {
        byte = static_cast<uint8_t>(random());
    }
    const std::vector<uint8_t> stored = Stored(noise);
    EXPECT_GT(stored.size(), noise.size());
    EXPECT_LE(stored.size(), kCompressOutputSize);
    EXPECT_EQ(Decompress(stored.data(), static_cast<uint32_t>(stored.size()), 0x100000), noise);
}

// Short literal runs between 3-byte matches expand more than random data
// does: such a block must still fit the output area.
TEST_F(CompressorTest, WorstCaseExpansionFitsTheOutputArea) {
    std::mt19937 random(3);
    std::vector<uint8_t> input(0x100000);
    for (size_t i = 0; i < input.size();) {
        for (int k = 0; k < 4 && i < input.size(); ++k) {
            input[i++] = static_cast<uint8_t>(random());
        }
        const size_t back = 4 + random() % 4;
        for (int k = 0; k < 3 && i < input.size(); ++k, ++i) {
            input[i] = input[i - back];
        }
    }
    const std::vector<uint8_t> stored = Stored(input);
    EXPECT_GT(stored.size(), 0x100800u) << "more than 1 MB + 2 KB";
    EXPECT_LE(stored.size(), kCompressOutputSize);
    EXPECT_EQ(Decompress(stored.data(), static_cast<uint32_t>(stored.size()), 0x100000), input);
}

TEST_F(CompressorTest, EmptyInputGivesAnEmptyStream) {
    EXPECT_TRUE(Stored({}).empty());
}

TEST_F(CompressorTest, OwnDecompressionRoundTripsAndRejectsDamage) {
    std::vector<uint8_t> input(5000);
    for (size_t i = 0; i < input.size(); ++i) {
        input[i] = static_cast<uint8_t>((i * 7) % 13);
    }
    std::vector<uint8_t> stored = Stored(input);
    Compressor *reader = CompressorCreate();
    CompressorSetInput(reader, stored.data(), static_cast<uint32_t>(stored.size()));
    const uint8_t *out = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(Decompress(reader, &out, &length));
    EXPECT_EQ(std::vector<uint8_t>(out, out + length), input);
    stored.resize(stored.size() - 2);  // cut into the end mark
    CompressorSetInput(reader, stored.data(), static_cast<uint32_t>(stored.size()));
    EXPECT_FALSE(Decompress(reader, &out, &length));
    CompressorFree(reader);
}

TEST_F(CompressorTest, MethodNumbersAboveThirteenAreIgnored) {
    CompressorSetMethod(compressor_, 14);
    EXPECT_EQ(compressor_->method, 0u);
    CompressorSetMethod(compressor_, 3);
    EXPECT_EQ(compressor_->method, 3u);
    const std::vector<uint8_t> input(10, 1);
    CompressorSetInput(compressor_, input.data(), 10);
    const uint8_t *out = nullptr;
    uint32_t length = 99;
    EXPECT_FALSE(Compress(compressor_, &out, &length)) << "method 3 has no implementation";
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(length, 0u);
}

TEST_F(CompressorTest, OperationsWithoutACompressorUseTheDefaultOne) {
    const std::vector<uint8_t> input{1, 2, 3};
    CompressorSetInput(nullptr, input.data(), 3);
    const uint8_t *out = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(Compress(nullptr, &out, &length));
    EXPECT_EQ(Decompress(out, length, 3), input);
}

}  // namespace
}  // namespace tavri::test
