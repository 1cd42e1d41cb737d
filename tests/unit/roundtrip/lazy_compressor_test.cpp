// The compressor's work memory, output area and zstd context are made when
// the first block is stored: a writer closed before storing one never holds
// them and still leaves a file the reader opens; one that stores blocks gets
// them then and its changes come back.
#include "roundtrip_util.h"
#include "writer/compressor.h"
#include "writer/object.h"

namespace tavri::test {
namespace {

class LazyCompressor : public RoundTripTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(LazyCompressor, AreasComeWithTheFirstBlock) {
    const uint32_t method = GetParam();
    const int level = method == writer::kCompressionMethodZstd ? writer::kDefaultZstdLevel
                                                                : writer::kDefaultLzo1bLevel;
    {
        txwObject *obj = Open();
        ASSERT_NE(obj, nullptr);
        ASSERT_EQ(txw_SetCompression(obj, method, level), 0);
        ASSERT_NE(obj->compressor, nullptr);
        EXPECT_EQ(obj->compressor->work, nullptr);
        EXPECT_EQ(obj->compressor->zstd_compress, nullptr);
        ASSERT_EQ(txw_CloseFile(obj), 0);
        Reading file(path_);
        ASSERT_EQ(file.status, TRAXR_OK) << file.message;
        EXPECT_EQ(file.Header().compression_method, method);
    }
    std::filesystem::remove(path_);
    txwObject *obj = Open();
    ASSERT_NE(obj, nullptr);
    ASSERT_EQ(txw_SetCompression(obj, method, level), 0);
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    EXPECT_NE(obj->compressor->work, nullptr);
    EXPECT_EQ(obj->compressor->zstd_compress != nullptr, method == writer::kCompressionMethodZstd);
    txw_CreateXCoor(obj, 0, 3);
    Scalar(obj, 1, 1);
    txw_CreateXCoor(obj, 0, 8);
    Scalar(obj, 1, 0);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Changes(1), (std::vector<Seen>{At(3, "1"), At(8, "0")}));
}

INSTANTIATE_TEST_SUITE_P(Methods, LazyCompressor,
                         ::testing::Values(writer::kCompressionMethodLzo1b, writer::kCompressionMethodZstd),
                         [](const ::testing::TestParamInfo<uint32_t> &info) {
                             return std::string(writer::CompressionMethodName(info.param));
                         });

}  // namespace
}  // namespace tavri::test
