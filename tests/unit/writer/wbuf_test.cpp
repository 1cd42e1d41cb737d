// Write buffers: when blocks are stored, what reaches the disk, the logical
// bases and header counters, the stop flag, progress dots and write errors.
#include <fcntl.h>
#include <lzo/lzo1b.h>

#include <random>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"
#include "writer/wbuf.h"
#include "writer/write_all.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

class WriteBufferTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        obj_ = txw_OpenFile(Path("w.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
        obj_->vc_buffer = WBufCreate(obj_->main_file, false, kWriteBufferCapacity, BlockKind::kValueChange);
        obj_->vc_chain_buffer = WBufCreate(obj_->main_file, false, kWriteBufferCapacity, BlockKind::kVcChain);
        ASSERT_NE(obj_->vc_buffer, nullptr);
    }
    void TearDown() override {
        txw_CloseFile(obj_);
        WriterTest::TearDown();
    }

    std::vector<uint8_t> Pattern(size_t length, uint32_t seed) {
        std::mt19937 random(seed);
        std::vector<uint8_t> bytes(length);
        for (size_t i = 0; i < length; ++i) {
            bytes[i] = static_cast<uint8_t>(i % 5 == 0 ? random() : i / 64);
        }
        return bytes;
    }

    // The stored blocks of the value-change stream, read back from the file
    // and decompressed, one after another.
    std::vector<uint8_t> StoredStream() {
        const std::vector<uint8_t> file = ReadFileBytes(Path("w.trax"));
        std::vector<uint8_t> stream;
        for (BlockNode *node = obj_->session_vc_blocks.head; node != nullptr; node = node->next) {
            const BlkLayout &layout = node->layout;
            EXPECT_LE(layout.offset + layout.stored_length, file.size());
            std::vector<uint8_t> block(kWriteBufferCapacity);
            lzo_uint produced = block.size();
            EXPECT_EQ(lzo1b_decompress_safe(file.data() + layout.offset, layout.stored_length,
                                            block.data(), &produced, nullptr),
                      LZO_E_OK);
            stream.insert(stream.end(), block.begin(), block.begin() + static_cast<long>(produced));
        }
        return stream;
    }

    txwObject *obj_ = nullptr;
};

TEST_F(WriteBufferTest, FlushingAnEmptyBufferStoresNothing) {
    WBuf_Flush(obj_, obj_->vc_buffer);
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 0u);
    EXPECT_EQ(obj_->session_vc_blocks.count, 0u);
    EXPECT_EQ(obj_->vc_base, 0u);
    EXPECT_EQ(ReadFileBytes(Path("w.trax")).size(), 2816u);
}

TEST_F(WriteBufferTest, FullBufferIsStoredOnlyWhenMoreArrives) {
    const std::vector<uint8_t> data = Pattern(0x100001, 1);
    WBufPutBytes(obj_, obj_->vc_buffer, 0x100000, data.data());
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 0u) << "exactly full: nothing stored yet";
    WBufPutByte(obj_, obj_->vc_buffer, data[0x100000]);
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 1u);
    EXPECT_EQ(WBufPending(obj_->vc_buffer), 1u);
    EXPECT_EQ(obj_->vc_base, 0x100000u);
    EXPECT_EQ(StreamPosition(obj_, obj_->vc_buffer), 0x100001u);
}

TEST_F(WriteBufferTest, LongPutIsCutIntoBlocksThatDecompressToTheInput) {
    const std::vector<uint8_t> data = Pattern(0x100001, 2);
    WBufPutBytes(obj_, obj_->vc_buffer, static_cast<uint32_t>(data.size()), data.data());
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 1u);
    EXPECT_EQ(WBufPending(obj_->vc_buffer), 1u);
    WBuf_Flush(obj_, obj_->vc_buffer);
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 2u);
    EXPECT_EQ(obj_->vc_base, 0x200000u);
    ASSERT_EQ(obj_->session_vc_blocks.count, 2u);
    EXPECT_EQ(obj_->session_vc_blocks.head->layout.offset, 2816u) << "blocks follow the header";
    EXPECT_EQ(obj_->session_vc_blocks.tail->layout.stored_length, 1u + 3u + 1u) << "1 literal";
    EXPECT_EQ(StoredStream(), data);
}

TEST_F(WriteBufferTest, SmallPiecesAccumulateInOneBlock) {
    std::vector<uint8_t> all;
    for (int i = 0; i < 1000; ++i) {
        const std::vector<uint8_t> piece = Pattern(37, static_cast<uint32_t>(i));
        WBufPutBytes(obj_, obj_->vc_buffer, 37, piece.data());
        all.insert(all.end(), piece.begin(), piece.end());
    }
    WBuf_Flush(obj_, obj_->vc_buffer);
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 1u);
    EXPECT_EQ(StoredStream(), all);
    EXPECT_EQ(obj_->file_high_water, ReadFileBytes(Path("w.trax")).size());
}

TEST_F(WriteBufferTest, ChainBlocksHaveTheirOwnBaseAndCounter) {
    const std::vector<uint8_t> data = Pattern(100, 3);
    WBufPutBytes(obj_, obj_->vc_chain_buffer, 100, data.data());
    WBuf_Flush(obj_, obj_->vc_chain_buffer);
    EXPECT_EQ(obj_->header.U32(kHdrVcChainBlkCnt), 1u);
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 0u);
    EXPECT_EQ(obj_->vc_chain_base, 0x100000u);
    EXPECT_EQ(obj_->session_vc_chain_blocks.count, 1u);
}

TEST_F(WriteBufferTest, StoppedWriterDropsPendingBytes) {
    const std::vector<uint8_t> data = Pattern(500, 4);
    WBufPutBytes(obj_, obj_->vc_buffer, 500, data.data());
    obj_->stopped = true;
    WBuf_Flush(obj_, obj_->vc_buffer);
    EXPECT_TRUE(WBufIsEmpty(obj_->vc_buffer));
    EXPECT_EQ(obj_->header.U32(kHdrVcBlkCnt), 0u);
    EXPECT_EQ(ReadFileBytes(Path("w.trax")).size(), 2816u);
}

uint32_t g_callback_count = 0;
void CountVcBlock(txwObject * /*obj*/, uint32_t count) { g_callback_count = count; }

TEST_F(WriteBufferTest, ValueChangeBlockCallbackSeesTheNewCount) {
    obj_->vc_block_callback = CountVcBlock;
    g_callback_count = 0;
    const uint8_t byte = 9;
    WBufPutByte(obj_, obj_->vc_buffer, byte);
    WBuf_Flush(obj_, obj_->vc_buffer);
    WBufPutByte(obj_, obj_->vc_buffer, byte);
    WBuf_Flush(obj_, obj_->vc_buffer);
    EXPECT_EQ(g_callback_count, 2u);
}

TEST_F(WriteBufferTest, ProgressDotsPerBlockAndANewlineEvery32) {
    obj_->progress_newline = true;
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 64; ++i) {
        WBufPutByte(obj_, obj_->vc_buffer, static_cast<uint8_t>(i));
        WBuf_Flush(obj_, obj_->vc_buffer);
    }
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, std::string(32, '.') + "\n" + std::string(32, '.') + "\n");
    obj_->progress_newline = false;
}

TEST_F(WriteBufferTest, BlockListNodesAreReused) {
    WBufPutByte(obj_, obj_->vc_buffer, 1);
    WBuf_Flush(obj_, obj_->vc_buffer);
    BlockNode *node = obj_->session_vc_blocks.head;
    ReturnBlockNodes(obj_, &obj_->session_vc_blocks);
    EXPECT_EQ(obj_->session_vc_blocks.count, 0u);
    WBufPutByte(obj_, obj_->vc_buffer, 2);
    WBuf_Flush(obj_, obj_->vc_buffer);
    EXPECT_EQ(obj_->session_vc_blocks.head, node);
}

class WriteAllTest : public WriterTest {};

TEST_F(WriteAllTest, FullDeviceWithoutCallbackEndsTheProcess) {
    EXPECT_EXIT(
        {
            txw_SetMessageHooks(nullptr, nullptr, nullptr);
            const int full = ::open("/dev/full", O_WRONLY);
            const char bytes[16] = {};
            WriteAll(full, bytes, sizeof bytes);
        },
        ::testing::ExitedWithCode(ExitStatusOf(-1)), "Error occurs when write trax file");
}

int g_errors_seen = 0;
void GiveUpOnSecondError(int error_number) {
    if (++g_errors_seen == 2) {
        std::exit(error_number);
    }
}

TEST_F(WriteAllTest, CallbackIsAskedAgainOnEveryRetry) {
    EXPECT_EXIT(
        {
            g_errors_seen = 0;
            SetWriteErrorCallback(GiveUpOnSecondError);
            const int full = ::open("/dev/full", O_WRONLY);
            const char bytes[16] = {};
            WriteAll(full, bytes, sizeof bytes);
        },
        ::testing::ExitedWithCode(28), "");
}

TEST_F(WriteAllTest, WritesEverything) {
    const platform::FileHandle file = platform::CreateFile(Path("all.bin").c_str());
    std::vector<uint8_t> data(300000, 0x5A);
    EXPECT_EQ(WriteAll(file, data.data(), data.size()), data.size());
    platform::Close(file);
    EXPECT_EQ(ReadFileBytes(Path("all.bin")), data);
}

}  // namespace
}  // namespace tavri::test
