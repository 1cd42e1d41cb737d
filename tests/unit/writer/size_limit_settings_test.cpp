// Size limits at the writer: the refusals and the clamping of the dump and
// stop limits, the ring's geometry and redundant list, where the stop limit
// takes effect, and the 2 GB guard.
#include <sys/stat.h>

#include <algorithm>
#include <functional>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"
#include "writer/ring.h"
#include "writer/wbuf.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

constexpr uint64_t kMB = 1u << 20;

class SizeLimitSettings : public WriterTest {
  protected:
    txwObject *Open(const std::string &name = "w.trax") {
        txwObject *obj = txw_OpenFile(Path(name).c_str(), TXW_FILE_VERILOG);
        EXPECT_NE(obj, nullptr);
        return obj;
    }
    // One tree of `count` scalars, idcodes 1 .. count.
    static void Declare(txwObject *obj, int32_t count) {
        ASSERT_TRUE(txw_BeginTree(obj));
        txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
        ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
        for (int32_t id = 1; id <= count; ++id) {
            const std::string name = "s" + std::to_string(id);
            ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, id, name.c_str(), 0), id);
        }
        ASSERT_EQ(txw_EndTree(obj), 0);
    }
    static void Scalar(txwObject *obj, int32_t idcode, uint8_t value) {
        txw_CreateVarValueByIdcode(obj, idcode, &value, 1);
    }
};

struct LimitCase {
    const char *name;
    std::function<void(txwObject *)> before;
    bool stop;  // txw_SetLifoDumpLimit instead of txw_SetDumpLimit
    uint32_t megabytes;
    int status;
    std::vector<std::string> messages;
    uint32_t dump_limit;
    uint32_t stop_limit;
};

const char *const kTooSmall = "Mininum dumplimit size is 10MB.\n";
const char *const kTooLarge = "Maximum dumplimit size is 1800MB on 32-bit machines.\n";

TEST_F(SizeLimitSettings, RefusalsAndClamping) {
    auto nothing = [](txwObject *) {};
    auto tree = [](txwObject *obj) {
        ASSERT_TRUE(txw_BeginTree(obj));
        ASSERT_EQ(txw_EndTree(obj), 0);
    };
    auto auto_switch = [](txwObject *obj) { obj->limited_file_size = 20 * kMB; };
    auto dump_set = [](txwObject *obj) { ASSERT_EQ(txw_SetDumpLimit(obj, 30), 0); };
    auto stop_set = [](txwObject *obj) { ASSERT_EQ(txw_SetLifoDumpLimit(obj, 30), 0); };
    const std::vector<LimitCase> cases = {
        {"dump 5", nothing, false, 5, 0,
         {kTooSmall, "Current dumplimit size 5MB is too small. Use 10MB instead\n"}, 10, 0},
        {"dump 10", nothing, false, 10, 0, {}, 10, 0},
        {"dump 1800", nothing, false, 1800, 0, {}, 1800, 0},
        {"dump 1801", nothing, false, 1801, 0,
         {kTooLarge, "Current dumplimit size 1801MB is too large. Use 1800MB instead.\n"}, 1800, 0},
        {"dump after a tree", tree, false, 20, -1,
         {"txw_SetDumpLimit() must be called before txw_BeginTree(). Return!\n"}, 0, 0},
        {"dump with auto switch", auto_switch, false, 20, -1,
         {"Dump limit cannot be used with auto switch file. Return!\n"}, 0, 0},
        {"dump twice", dump_set, false, 20, -1, {"txw_SetDumpLimit() has been called. Return!\n"}, 30, 0},
        {"dump after stop", stop_set, false, 20, -1,
         {"txw_SetDumpLimit(): a stop limit is set; the two limits cannot be combined. Return!\n"}, 0, 30},
        {"stop 9", nothing, true, 9, 0,
         {kTooSmall, "Current dumplimit size 9MB is too small. Use 10MB instead\n"}, 0, 10},
        {"stop 2000", nothing, true, 2000, 0,
         {kTooLarge, "Current dumplimit size 2000MB is too large. Use 1800MB instead.\n"}, 0, 1800},
        {"stop after a tree", tree, true, 20, -1,
         {"txw_SetLifoDumpLimit() must be called before txw_BeginTree(). Return!\n"}, 0, 0},
        {"stop with auto switch", auto_switch, true, 20, -1,
         {"Dump limit cannot be used with auto switch file. Return!\n"}, 0, 0},
        {"stop twice", stop_set, true, 20, -1, {"txw_SetLifoDumpLimit() has been called. Return!\n"}, 0, 30},
        {"stop after dump", dump_set, true, 20, -1, {"txw_SetLifoDumpLimit() has been called. Return!\n"}, 30, 0},
    };
    int file = 0;
    for (const LimitCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "f" + std::to_string(file++) + ".trax";
        txwObject *obj = Open(name);
        ASSERT_NE(obj, nullptr);
        c.before(obj);
        CapturedWarnings().clear();
        const int status = c.stop ? txw_SetLifoDumpLimit(obj, c.megabytes) : txw_SetDumpLimit(obj, c.megabytes);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(CapturedWarnings(), c.messages);
        EXPECT_EQ(obj->dump_limit, c.dump_limit);
        EXPECT_EQ(obj->header.U32(kHdrDumpLimit), c.dump_limit);
        EXPECT_EQ(obj->stop_limit, c.stop_limit);
        if (c.stop_limit != 0) {
            EXPECT_EQ(obj->stop_position, c.stop_limit * kMB - 0x80000);
        }
        EXPECT_EQ(obj->ring != nullptr, c.dump_limit != 0);
        EXPECT_EQ(std::filesystem::exists(Path(name + ".rlist")), c.dump_limit != 0);
        obj->limited_file_size = 0;
        ASSERT_EQ(txw_CloseFile(obj), 0);
    }
}

TEST_F(SizeLimitSettings, AnUnwritableRedundantListLeavesTheFileUnlimited) {
    std::filesystem::create_directory(Path("w.trax.rlist"));
    txwObject *obj = Open();
    EXPECT_EQ(txw_SetDumpLimit(obj, 10), TXW_CANNOT_OPEN_FILE);
    EXPECT_TRUE(Warned("trax writer: Failed to open redundant vc chain list file(" + Path("w.trax.rlist") + ")\n"));
    EXPECT_TRUE(Warned("Dump limit is not turned on\n"));
    EXPECT_EQ(obj->dump_limit, 0u);
    EXPECT_EQ(obj->ring, nullptr);
    Declare(obj, 1);
    txw_CreateXCoor(obj, 0, 1);
    Scalar(obj, 1, 1);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    const std::vector<uint8_t> bytes = ReadFileBytes(Path("w.trax"));
    EXPECT_EQ(LoadU32(bytes, kHdrDumpLimit), 0u);
    EXPECT_EQ(bytes[kHdrFileStatus], kStatusFinished);
    EXPECT_EQ(LoadU32(bytes, kHdrSessionCount), 1u);
}

TEST_F(SizeLimitSettings, TheRingEndsBeforeRoomForTheIndexStructures) {
    txwObject *obj = Open();
    txw_CreateXCoor(obj, 0, 0);
    ASSERT_EQ(txw_SetDumpLimit(obj, 10), 0);
    Declare(obj, 1000);
    const int64_t after_tree = platform::Tell(obj->main_file);
    Scalar(obj, 1, 1);
    ASSERT_EQ(txw_Flush(obj), 0);
    ASSERT_TRUE(obj->ring->laid_out);
    EXPECT_EQ(obj->ring->wrap_limit, 10346680u) << "10 x 2^20 - (1001 x 8 + 0x20000)";
    EXPECT_EQ(obj->ring->ring_start, static_cast<uint64_t>(after_tree));
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

// ".rlist": the marker, the number of retained ring sessions and each one's
// range of vc chain blocks holding its redundant value changes.
std::vector<uint32_t> RedundantList(const std::vector<uint8_t> &bytes) {
    std::vector<uint32_t> words;
    if (bytes.empty() || bytes[0] != kRedundantListMarker) return words;
    for (size_t at = 1; at + 4 <= bytes.size(); at += 4) words.push_back(LoadU32(bytes, at));
    return words;
}

TEST_F(SizeLimitSettings, RingSessionsListTheirRedundantValueChanges) {
    txwObject *obj = Open();
    txw_CreateXCoor(obj, 0, 0);
    ASSERT_EQ(txw_SetDumpLimit(obj, 10), 0);
    Declare(obj, 3);
    txw_CreateXCoor(obj, 0, 5);  // a session starts while no variable has a value
    const std::string rlist = Path("w.trax.rlist");
    EXPECT_EQ(RedundantList(ReadFileBytes(rlist)), (std::vector<uint32_t>{1, 0xFFFFFFFF, 0xFFFFFFFF}));
    Scalar(obj, 1, 1);
    Scalar(obj, 2, 0);
    ASSERT_EQ(txw_Flush(obj), 0);  // the session ends at the next new time tag
    const uint32_t chain_blocks = obj->header.U32(kHdrVcChainBlkCnt);
    const uint32_t changes = obj->header.U32(kHdrBc1VcCreationCnt);
    txw_CreateXCoor(obj, 0, 9);
    // The new session restates the two values at 9 in a session of their own.
    EXPECT_EQ(obj->header.U32(kHdrBc1VcCreationCnt), changes + 2);
    EXPECT_EQ(obj->header.U32(kHdrVcChainBlkCnt), chain_blocks + 1);
    EXPECT_EQ(RedundantList(ReadFileBytes(rlist)),
              (std::vector<uint32_t>{2, 0xFFFFFFFF, 0xFFFFFFFF, chain_blocks, chain_blocks}));
    ASSERT_EQ(obj->ring->sessions.size(), 2u);
    EXPECT_EQ(obj->ring->sessions[0].fifo_vc_chain_end_idx, chain_blocks - 1);
    EXPECT_EQ(obj->ring->sessions[1].fifo_vc_chain_start_idx, chain_blocks);
    EXPECT_EQ(obj->ring->sessions[1].start_xtag, (Xtag{0, 9}));
    txw_CreateXCoor(obj, 0, 12);  // no flush since: the session goes on
    EXPECT_EQ(obj->ring->sessions.size(), 2u);
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(SizeLimitSettings, StopTakesEffectAtTheEndOfTheFlushThatPassedTheStopPosition) {
    // A block of 5 bytes is stored in 9: the room before the stop position
    // must be larger than that for the writer to go on.
    for (const auto &[room, stops] : {std::pair{10, false}, std::pair{9, true}, std::pair{-4, true}}) {
        SCOPED_TRACE(room);
        txwObject *obj = Open("s" + std::to_string(room + 10) + ".trax");
        txw_CreateXCoor(obj, 0, 0);
        ASSERT_EQ(txw_SetLifoDumpLimit(obj, 10), 0);
        Declare(obj, 1);
        ASSERT_EQ(platform::Seek(obj->main_file, static_cast<int64_t>(obj->stop_position) - room),
                  static_cast<int64_t>(obj->stop_position) - room);
        const uint8_t bytes[5] = {1, 2, 3, 4, 5};
        WBufPutBytes(obj, obj->vc_buffer, 5, bytes);
        WBuf_Flush(obj, obj->vc_buffer);
        ASSERT_EQ(obj->session_vc_blocks.tail->layout.stored_length, 9u);
        EXPECT_EQ(obj->stop_pending, stops);
        EXPECT_FALSE(obj->stopped) << "not before the flush ends";
        ASSERT_EQ(txw_Flush(obj), 0);
        EXPECT_EQ(obj->stopped, stops);
        const uint32_t created = obj->header.U32(kHdrBc1VcCreationCnt);
        const uint32_t sessions = obj->header.U32(kHdrSessionCount);
        txw_CreateXCoor(obj, 0, 3);
        Scalar(obj, 1, 1);
        ASSERT_EQ(txw_Flush(obj), 0);
        EXPECT_EQ(obj->header.U32(kHdrBc1VcCreationCnt), created + (stops ? 0 : 1));
        EXPECT_EQ(obj->header.U32(kHdrSessionCount), sessions + (stops ? 0 : 1));
        ReturnBlockNodes(obj, &obj->session_vc_blocks);
        ASSERT_EQ(txw_CloseFile(obj), 0);
    }
}

txwObject *g_next_writer = nullptr;
txwObject *g_called_with = nullptr;
int g_two_g_calls = 0;

void SwitchToNextWriter(txwObject **writer) {
    ++g_two_g_calls;
    g_called_with = *writer;
    *writer = g_next_writer;
}

class TwoGigabyteGuard : public SizeLimitSettings {
  protected:
    // A writer whose file already reaches past 0x7BFFFFFF (sparse): its
    // first value-change block is stored there.
    txwObject *NearlyTwoGigabytes(const std::string &name) {
        txwObject *obj = Open(name);
        Declare(obj, 1);
        txw_CreateXCoor(obj, 0, 1);
        Scalar(obj, 1, 1);
        platform::Seek(obj->main_file, 0x7C000000);
        EXPECT_EQ(txw_Flush(obj), 0);
        EXPECT_GT(obj->file_high_water, 0x7BFFFFFFu);
        return obj;
    }
    size_t Count(const std::string &text) const {
        return static_cast<size_t>(std::count(CapturedWarnings().begin(), CapturedWarnings().end(), text));
    }
};

TEST_F(TwoGigabyteGuard, TheCallbackMovesTheChangeToTheWriterItGives) {
    txwObject *old_writer = NearlyTwoGigabytes("big.trax");
    g_next_writer = Open("next.trax");
    Declare(g_next_writer, 1);
    txw_CreateXCoor(g_next_writer, 0, 1);
    g_called_with = nullptr;
    g_two_g_calls = 0;
    txw_RegisterTwoGCB(old_writer, SwitchToNextWriter);
    CapturedWarnings().clear();
    const uint32_t old_changes = old_writer->header.U32(kHdrBc1VcCreationCnt);
    Scalar(old_writer, 1, 0);
    EXPECT_EQ(g_two_g_calls, 1);
    EXPECT_EQ(g_called_with, old_writer);
    EXPECT_EQ(g_next_writer->header.U32(kHdrBc1VcCreationCnt), 1u) << "the change went to the new writer";
    EXPECT_EQ(old_writer->header.U32(kHdrBc1VcCreationCnt), old_changes);
    Scalar(old_writer, 1, 1);
    EXPECT_EQ(g_two_g_calls, 1) << "called once per writer";
    EXPECT_EQ(Count("This trax file(" + Path("big.trax") + ") is close to 2G.\n"), 1u);
    EXPECT_EQ(Count("Registered 2G callback function is called.\n"), 1u);
    ASSERT_EQ(txw_CloseFile(g_next_writer), 0);
    ASSERT_EQ(txw_CloseFile(old_writer), 0);
}

TEST_F(TwoGigabyteGuard, AChangeWithoutAWriterToGoToIsDropped) {
    txwObject *obj = NearlyTwoGigabytes("big.trax");
    g_next_writer = nullptr;  // the callback closed the file and has no other
    txw_RegisterTwoGCB(obj, SwitchToNextWriter);
    const uint32_t changes = obj->header.U32(kHdrBc1VcCreationCnt);
    const uint8_t value = 0;
    EXPECT_EQ(txw_CreateVarValueByIdcode(obj, 1, &value, 1), 0);
    EXPECT_EQ(obj->header.U32(kHdrBc1VcCreationCnt), changes);
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(TwoGigabyteGuard, WithoutACallbackTheFileIsReportedOnce) {
    txwObject *obj = Open("small.trax");
    Declare(obj, 1);
    txw_CreateXCoor(obj, 0, 1);
    CapturedWarnings().clear();
    Scalar(obj, 1, 1);
    EXPECT_TRUE(CapturedWarnings().empty()) << "far from 2 GB";
    ASSERT_EQ(txw_CloseFile(obj), 0);

    obj = NearlyTwoGigabytes("big.trax");
    CapturedWarnings().clear();
    for (uint8_t value : {0, 1, 0}) Scalar(obj, 1, value);
    EXPECT_EQ(CapturedWarnings(), (std::vector<std::string>{
                                      "This trax file(" + Path("big.trax") + ") is close to 2G.\n",
                                      "The application does not register two_g_cb_func.\n",
                                      "We recommend the user to close this file manually.\n"}));
    EXPECT_EQ(obj->header.U32(kHdrBc1VcCreationCnt), 4u) << "the changes are still recorded";
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::test
