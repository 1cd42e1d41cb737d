// Session flushes, byte for byte: element arrays, vc chain entries, session
// records, the chain table, bounded memory, and the layout of a finished
// file.
#include <algorithm>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/vc_mem_pool.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;
using Bytes = std::vector<uint8_t>;

struct SessionRecord {
    uint32_t start_high, start_low, end_high, end_low, first_block;
    std::vector<BlkLayout> vc_blocks;
    std::vector<BlkLayout> chain_blocks;
};

std::vector<SessionRecord> ParseSessions(const Bytes &list) {
    std::vector<SessionRecord> sessions;
    size_t at = 0;
    auto layouts = [&](uint8_t count) {
        std::vector<BlkLayout> out;
        for (uint8_t i = 0; i < count; ++i) {
            out.push_back(DecodeBlkLayout(list.data() + at));
            at += 12;
        }
        return out;
    };
    while (at < list.size()) {
        EXPECT_EQ(list[at], 0x0F);
        SessionRecord record{};
        record.start_high = LoadU32(list, at + 1);
        record.start_low = LoadU32(list, at + 5);
        record.end_high = LoadU32(list, at + 9);
        record.end_low = LoadU32(list, at + 13);
        record.first_block = LoadU32(list, at + 17);
        at += 21;
        const uint8_t m1 = list[at++];
        record.vc_blocks = layouts(m1);
        const uint8_t m2 = list[at++];
        record.chain_blocks = layouts(m2);
        sessions.push_back(record);
    }
    return sessions;
}

Bytes Stream(const Bytes &file, const std::vector<BlkLayout> &blocks) {
    BlockList list;
    std::vector<BlockNode> nodes(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        nodes[i].layout = blocks[i];
        nodes[i].next = i + 1 < blocks.size() ? &nodes[i + 1] : nullptr;
    }
    list.head = nodes.empty() ? nullptr : &nodes[0];
    return StreamOf(file, list);
}

class FlushTest : public WriterTest {
  protected:
    // Idcodes: 1 scalar s, 2 vector v[7:0], 3 bus b[32:0].
    void Open() {
        obj_ = txw_OpenFile(Path("f.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
        ASSERT_TRUE(txw_BeginTree(obj_));
        txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
        ASSERT_EQ(txw_CreateScope(obj_, &scope), 0);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 4, 0, 0, 7, 0, 2, "v", 0), 2);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 4, 0, 0, 32, 0, 3, "b", 0), 3);
        ASSERT_EQ(txw_EndTree(obj_), 0);
    }
    void TearDown() override {
        if (obj_ != nullptr) {
            txw_CloseFile(obj_);
        }
        WriterTest::TearDown();
    }
    void Scalar(uint8_t value) { txw_CreateVarValueByIdcode(obj_, 1, &value, 1); }
    Bytes File() const { return ReadFileBytes(Path("f.trax")); }
    std::vector<SessionRecord> Sessions() const { return ParseSessions(ReadFileBytes(Path("f.trax.slist"))); }

    txwObject *obj_ = nullptr;
};

TEST_F(FlushTest, OneSessionByteForByte) {
    Open();
    txw_CreateXCoor(obj_, 0, 10);
    Scalar(1);
    const uint8_t vector[8] = {0, 0, 0, 0, 1, 1, 1, 1};
    txw_CreateVarValueByIdcode(obj_, 2, vector, 8);
    uint32_t plain[4] = {0x1234, 0, 1, 0};
    txw_CreateABBusValueByIdcode(obj_, 3, plain, 33);
    txw_CreateXCoor(obj_, 0, 20);
    Scalar(0);
    uint32_t unknown[4] = {1, 1, 0, 0};
    txw_CreateABBusValueByIdcode(obj_, 3, unknown, 33);
    txw_CreateXCoor(obj_, 0, 100000);
    Scalar(1);
    ASSERT_EQ(txw_Flush(obj_), 0);

    const std::vector<SessionRecord> sessions = Sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].start_low, 10u);
    EXPECT_EQ(sessions[0].end_low, 100000u);
    EXPECT_EQ(sessions[0].first_block, 0u);
    ASSERT_EQ(sessions[0].vc_blocks.size(), 1u);
    ASSERT_EQ(sessions[0].chain_blocks.size(), 1u);
    EXPECT_EQ(obj_->header.U32(kHdrSessionCount), 1u);
    EXPECT_EQ(obj_->header.U32(kHdrSessionListSize), 21u + 1 + 12 + 1 + 12);

    const Bytes file = File();
    const Bytes values = Stream(file, sessions[0].vc_blocks);
    const Bytes expected_values = {
        // s: format 0, (1 @ +10), (0 @ +10), (1 @ +99980 in 4 bytes), end
        0x00, 0x12, 0x0A, 0x00, 0x11, 0x0A, 0x00, 0x22, 0x8C, 0x86, 0x01, 0x00, 0xC1,
        // v: normal bus, code 0, size 8, one change
        0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x10, 0x0A, 0x00, 0, 0, 0, 0, 1, 1, 1, 1, 0xC1,
        // b: A/B bus, code 0, size 33; compact first change, full second
        0x05, 0x00, 0x21, 0x00, 0x00, 0x00,
        0x18, 0x0A, 0x00, 0x34, 0x12, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
        0x10, 0x0A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0xC1};
    EXPECT_EQ(values, expected_values);

    const Bytes chain = Stream(file, sessions[0].chain_blocks);
    const Bytes expected_chain = {
        0x11,                                                  // stream lead
        // s at 1: A = stat 4 bytes; B = first 2 bytes, last 4 bytes
        0x20, 0x09, 0x00, 0x00, 0x8C, 0x86, 0x01, 0x00, 0x03, 0x0A, 0x00, 0xA0, 0x86, 0x01, 0x00,
        // v at 16: element at 13, statistic 0 in 2 bytes, one change at 10
        0x10, 0x05, 0x00, 0x0D, 0x00, 0x00, 0x01, 0x0A, 0x00, 0x0A, 0x00,
        // b at 27: element at 31, largest delta 10, X seen (B bit 4)
        0x10, 0x15, 0x00, 0x1F, 0x0A, 0x00, 0x02, 0x0A, 0x00, 0x14, 0x00};
    EXPECT_EQ(chain, expected_chain);

    // The live chain table now points at the three entries.
    const Bytes table = ReadFileBytes(Path("f.trax.chain"));
    ASSERT_EQ(table.size(), 4u * 5);
    EXPECT_EQ(LoadU32(table, 5), 1u);
    EXPECT_EQ(LoadU32(table, 10), 16u);
    EXPECT_EQ(LoadU32(table, 15), 27u);
    EXPECT_EQ(table[19], 1) << "X seen on b";
    EXPECT_EQ(LoadU32(table, 0), 0u) << "the marker never changed";
}

TEST_F(FlushTest, SecondSessionLinksBackToTheFirst) {
    Open();
    txw_CreateXCoor(obj_, 0, 1);
    Scalar(1);
    ASSERT_EQ(txw_Flush(obj_), 0);
    txw_CreateXCoor(obj_, 0, 2);
    Scalar(0);
    ASSERT_EQ(txw_Flush(obj_), 0);
    const std::vector<SessionRecord> sessions = Sessions();
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[1].start_low, 1u) << "starts where the first ended";
    EXPECT_EQ(sessions[1].end_low, 2u);
    EXPECT_EQ(sessions[1].first_block, 1u);
    const Bytes chain = Stream(File(), sessions[1].chain_blocks);
    // Logical position 0x100000 + 0: back link 0x100000 - 1 in 4 bytes.
    ASSERT_GE(chain.size(), 6u);
    EXPECT_EQ(chain[0] & 3, 2) << "4-byte back link";
    EXPECT_EQ(LoadU32(chain, 2), 0x100000u - 1u);
    EXPECT_EQ(LoadU32(ReadFileBytes(Path("f.trax.chain")), 5), 0x100000u);
}

TEST_F(FlushTest, ThreeHundredChangesCountInTwoBytes) {
    Open();
    for (uint32_t t = 1; t <= 300; ++t) {
        txw_CreateXCoor(obj_, 0, t);
        Scalar(static_cast<uint8_t>(t % 2));
    }
    ASSERT_EQ(txw_Flush(obj_), 0);
    const Bytes chain = Stream(File(), Sessions()[0].chain_blocks);
    ASSERT_GE(chain.size(), 12u);
    const uint8_t flags_a = chain[1];
    EXPECT_EQ(flags_a >> 6, 1) << "count in 2 bytes";
    // back (1), element position (1), statistic (2), then the count.
    EXPECT_EQ(LoadU16(chain, 7), 300u);
}

TEST_F(FlushTest, FlushWithoutChangesWritesNoSession) {
    Open();
    txw_CreateXCoor(obj_, 0, 5);
    ASSERT_EQ(txw_Flush(obj_), 0);
    EXPECT_TRUE(ReadFileBytes(Path("f.trax.slist")).empty());
    EXPECT_EQ(obj_->header.U32(kHdrSessionCount), 0u);
    const Bytes file = File();
    EXPECT_EQ(LoadU32(file, 324), 5u) << "the statistics section was rewritten";
    EXPECT_EQ(LoadU32(file, 472), 1u);
}

TEST_F(FlushTest, MemoryStaysBoundedOverALongRun) {
    ScopedEnv limit("TRAX_ENV_WRITER_MEM_LIMIT", "2");
    obj_ = txw_OpenFile(Path("f.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_TRUE(txw_BeginTree(obj_));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj_, &scope), 0);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 4, 0, 0, 63, 0, 1, "wide", 0), 1);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    ASSERT_EQ(obj_->vc_memory->limit, 2u);
    uint8_t value[64] = {};
    const uint64_t unit = 12 + 4 + 64;
    const uint64_t changes = 10 * 2 * 1048576 / unit;
    uint32_t most_chunks = 0;
    for (uint64_t i = 0; i < changes; ++i) {
        txw_CreateXCoor(obj_, 0, static_cast<uint32_t>(i + 1));
        value[i % 64] ^= 1;
        txw_CreateVarValueByIdcode(obj_, 1, value, 64);
        most_chunks = std::max(most_chunks, VcChunksInUse(obj_->vc_memory));
    }
    EXPECT_LE(most_chunks, 2u);
    EXPECT_GE(obj_->header.U32(kHdrSessionCount), 9u) << "ten memories' worth forced flushes";
    ASSERT_EQ(txw_CloseFile(obj_), 0);
    obj_ = nullptr;
    EXPECT_EQ(LoadU32(ReadFileBytes(Path("f.trax")), 496), changes) << "every change was created";
}

TEST_F(FlushTest, FinishedFileAppendsTheIndexStructuresInOrder) {
    Open();
    ASSERT_EQ(txw_SetAnnotation(obj_, "note"), 0);
    txw_CreateXCoor(obj_, 0, 1);
    Scalar(1);
    ASSERT_EQ(txw_CloseFile(obj_), 0);
    obj_ = nullptr;
    const Bytes file = File();
    EXPECT_EQ(file[504], 0);
    const uint32_t annotation = LoadU32(file, 216);
    const uint32_t tree_list = LoadU32(file, 192);
    const uint32_t session_list = LoadU32(file, 200);
    const uint32_t chain = LoadU32(file, 208);
    EXPECT_EQ(LoadU32(file, 304), 5u);
    EXPECT_STREQ(reinterpret_cast<const char *>(&file[annotation]), "note");
    EXPECT_EQ(tree_list, annotation + 5);
    EXPECT_EQ(file[tree_list], 0xF0);
    EXPECT_EQ(file[session_list], 0x0F);
    EXPECT_EQ(chain + 4u * 5, file.size()) << "the chain table is the last structure";
    EXPECT_EQ(LoadU32(file, chain + 5), 1u) << "s's last chain entry";
    EXPECT_EQ(LoadU32(file, 224), 0u) << "no strings";
    EXPECT_EQ(chain - session_list, LoadU32(file, 416)) << "the whole session list was copied";
}

TEST_F(FlushTest, StringsAreCopiedIntoTheFinishedFile) {
    obj_ = txw_OpenFile(Path("f.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_TRUE(txw_BeginTree(obj_));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj_, &scope), 0);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 63, 0, 0, 0, 0, 1, "msg", 2), 1);
    ASSERT_EQ(txw_EndTree(obj_), 0);
    txw_CreateXCoor(obj_, 0, 1);
    txwCreateStrValByVarIdcode(obj_, 1, "first", nullptr);
    txw_CreateXCoor(obj_, 0, 2);
    txwCreateStrValByVarIdcode(obj_, 1, "second", nullptr);
    ASSERT_EQ(txw_CloseFile(obj_), 0);
    obj_ = nullptr;
    const Bytes file = File();
    const uint32_t strings = LoadU32(file, 224);
    ASSERT_NE(strings, 0u);
    EXPECT_STREQ(reinterpret_cast<const char *>(&file[strings]), "first");
    EXPECT_STREQ(reinterpret_cast<const char *>(&file[strings + 6]), "second");
    EXPECT_EQ(LoadU32(file, 432), 13u);
    EXPECT_EQ(LoadU32(file, 436), 2u);
    EXPECT_FALSE(std::filesystem::exists(Path("f.trax.str")));
}

}  // namespace
}  // namespace tavri::test
