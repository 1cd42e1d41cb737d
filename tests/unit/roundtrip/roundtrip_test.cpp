// Files written by the writer, read back by the reader: every value encoding,
// several trees and sessions, wide times, sequence numbers, glitches, dump
// off and on, strings, large sessions, live files, and a randomized run
// against a model of what must be kept.
#include <cstring>
#include <map>
#include <random>

#include "roundtrip_util.h"

namespace tavri::test {
namespace {

TEST_F(RoundTripTest, EveryValueEncodingComesBack) {
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "scalar", 0), 1);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 3, 0, 2, "nibble", 0), 2);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 39, 0, 3, "ab", 0), 3);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 3, 0, 0, 0, 0, 4, "real", 3), 4);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 63, 0, 0, 0, 0, 5, "text", 2), 5);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 0, 0, 0, 0, 0, 6, "event", 0), 6);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 7, "strength", 0), 7);
    ASSERT_EQ(txw_EndTree(obj), 0);

    txw_CreateXCoor(obj, 0, 0);
    Scalar(obj, 1, 2);
    Bus(obj, 2, "1x0z");
    ABBus(obj, 3, std::string(8, '1') + std::string(32, '0'));
    const double pi = 3.25;
    txw_CreateVarValueByIdcode(obj, 4, &pi, 1);
    txwCreateStrValByVarIdcode(obj, 5, "hello", nullptr);
    Scalar(obj, 7, 1 + 4 * 6 + 32 * 6);
    txw_CreateXCoor(obj, 0, 7);
    Scalar(obj, 1, 3);
    Bus(obj, 2, "0001");
    ABBus(obj, 3, "xz" + std::string(38, '1'));
    const double minus = -0.5;
    txw_CreateVarValueByIdcode(obj, 4, &minus, 1);
    txwCreateStrValByVarIdcode(obj, 5, "", nullptr);
    const int32_t occurrence = 1;
    txw_CreateVarValueByIdcode(obj, 6, &occurrence, 1);
    txw_CreateXCoor(obj, 0, 9);
    Scalar(obj, 1, 1);
    txw_CreateVarValueByIdcode(obj, 6, &occurrence, 1);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Changes(1), (std::vector<Seen>{At(0, "x"), At(7, "z"), At(9, "1")}));
    EXPECT_EQ(file.Changes(2), (std::vector<Seen>{At(0, "1x0z"), At(7, "0001")}));
    EXPECT_EQ(file.Changes(3), (std::vector<Seen>{At(0, std::string(8, '1') + std::string(32, '0')),
                                                  At(7, "xz" + std::string(38, '1'))}));
    EXPECT_EQ(file.Changes(4), (std::vector<Seen>{RealAt(0, 3.25), RealAt(7, -0.5)}));
    EXPECT_EQ(file.Changes(5), (std::vector<Seen>{TextAt(0, "hello"), TextAt(7, "")}));
    EXPECT_EQ(file.Changes(6), (std::vector<Seen>{At(7, "1"), At(9, "1")}));
    traxrChangeList *list = nullptr;
    ASSERT_EQ(traxr_ReadChanges(file.reader, 7, &list), TRAXR_OK);
    ASSERT_EQ(traxr_ChangeCount(list), 1u);
    traxrChange strength{};
    traxr_GetChange(list, 0, &strength);
    ASSERT_EQ(strength.raw_length, 1u);
    EXPECT_EQ(strength.raw[0], 217) << "a strength byte is kept whole";
    traxr_FreeChangeList(list);
}

TEST_F(RoundTripTest, TreesScopesAndAliases) {
    int net = 0;
    txwObject *obj = Open();
    ASSERT_EQ(txwCreateTreeByHandleScheme(obj), 0);
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    Scope(obj, "cpu");
    ASSERT_NE(txw_CreateVarByHandle(obj, 15, 1, 0, 7, 0, &net, "bus", 0), nullptr);
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndTree(obj), 0);
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    Scope(obj, "mem");
    ASSERT_NE(txw_CreateVarByHandle(obj, 15, 2, 0, 7, 0, &net, "data_in", 0), nullptr);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 0, 0, 2, "flag", 0), 2);
    ASSERT_EQ(txw_EndTree(obj), 0);
    txw_CreateXCoor(obj, 0, 3);
    Bus(obj, 1, "10101010");
    Scalar(obj, 2, 1);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(traxr_TreeCount(file.reader), 2u);
    EXPECT_EQ(traxr_MaxIdcode(file.reader), 2u);
    EXPECT_EQ(file.Names(1), (std::vector<std::string>{"top.cpu.bus", "top.mem.data_in"}));
    EXPECT_EQ(file.Names(2), (std::vector<std::string>{"top.mem.flag"}));
    EXPECT_EQ(file.Changes(1), (std::vector<Seen>{At(3, "10101010")}));
    EXPECT_EQ(file.Changes(2), (std::vector<Seen>{At(3, "1")}));
    uint32_t index = 0;
    ASSERT_EQ(traxr_FindVar(file.reader, 1, &index), TRAXR_OK);
    traxrVar var{};
    traxr_GetVar(file.reader, index, &var);
    EXPECT_EQ(var.left, 7);
    EXPECT_EQ(var.right, 0);
    EXPECT_EQ(var.direction, 1);
}

TEST_F(RoundTripTest, SessionsWideTimesAndSequenceNumbers) {
    txwObject *obj = Open();
    ASSERT_EQ(txw_EnableSeqNum(obj), 0);
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "a", 0), 1);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 2, "b", 0), 2);
    ASSERT_EQ(txw_EndTree(obj), 0);
    txw_CreateXCoor(obj, 0, 100);
    Scalar(obj, 2, 1);
    Scalar(obj, 1, 1);
    ASSERT_EQ(txw_Flush(obj), 0);
    txw_CreateXCoor(obj, 0, 70000);
    Scalar(obj, 1, 0);
    txw_CreateXCoor(obj, 5, 3);  // flushes the 4-byte stamps first
    Scalar(obj, 1, 1);
    Scalar(obj, 2, 0);
    txw_CreateXCoor(obj, 9, 0xFFFFFFF0u);
    Scalar(obj, 1, 0);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().session_count, 3u);
    const uint64_t wide = (uint64_t{5} << 32) | 3;
    const uint64_t later = (uint64_t{9} << 32) | 0xFFFFFFF0u;
    const std::vector<Seen> a = file.Changes(1);
    EXPECT_EQ(a, (std::vector<Seen>{At(100, "1"), At(70000, "0"), At(wide, "1"), At(later, "0")}));
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[0].sequence, 2u);
    EXPECT_EQ(a[2].sequence, 1u);
    EXPECT_EQ(file.Changes(2), (std::vector<Seen>{At(100, "1"), At(wide, "0")}));
    EXPECT_EQ(file.Changes(2)[1].sequence, 2u);
    traxrChainEntry *entries = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(traxr_ReadChainEntries(file.reader, 1, &entries, &count), TRAXR_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(entries[0].back_link, 0u);
    EXPECT_EQ(entries[1].back_link, entries[1].position - entries[0].position);
    EXPECT_EQ(entries[2].change_count, 2u);
    traxr_FreeChainEntries(entries);
}

TEST_F(RoundTripTest, GlitchesCollapseToTheValueAtTheEndOfTheStep) {
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 3, 0, 2, "v", 0), 2);
    ASSERT_EQ(txw_EndTree(obj), 0);
    txw_CreateXCoor(obj, 0, 1);
    Scalar(obj, 1, 1);
    Bus(obj, 2, "0000");
    txw_CreateXCoor(obj, 0, 2);
    Scalar(obj, 1, 0);  // 1 -> 0 -> 1 within one step: no change
    Scalar(obj, 1, 1);
    Bus(obj, 2, "1111");
    Bus(obj, 2, "0000");
    txw_CreateXCoor(obj, 0, 3);
    Scalar(obj, 1, 0);
    Scalar(obj, 1, 2);
    Scalar(obj, 1, 3);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Changes(1), (std::vector<Seen>{At(1, "1"), At(3, "z")}));
    EXPECT_EQ(file.Changes(2), (std::vector<Seen>{At(1, "0000")}));
}

TEST_F(RoundTripTest, DumpOffAndOnLeaveMarkersAndAGap) {
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    txw_CreateXCoor(obj, 0, 1);
    Scalar(obj, 1, 1);
    txw_CreateXCoor(obj, 0, 2);
    Scalar(obj, 1, 2);
    txw_DumpOff(obj);
    txw_CreateXCoor(obj, 0, 3);
    Scalar(obj, 1, 0);  // refused
    txw_CreateXCoor(obj, 0, 4);
    txw_DumpOn(obj);
    Scalar(obj, 1, 0);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Changes(0), (std::vector<Seen>{At(2, "1"), At(4, "0")}));
    EXPECT_EQ(file.Changes(1), (std::vector<Seen>{At(1, "1"), At(2, "x"), At(4, "0")}));
    EXPECT_EQ(file.Header().dump_off_count, 1u);
}

TEST_F(RoundTripTest, SessionLargerThanSeveralBlocks) {
    constexpr int kVars = 2000;
    constexpr int kSteps = 400;
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    for (int id = 1; id <= kVars; ++id) {
        const std::string name = "bus" + std::to_string(id);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 31, 0, id, name.c_str(), 0), id);
    }
    ASSERT_EQ(txw_EndTree(obj), 0);
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj, 64), 0);  // room for the whole run's 38 MB of changes
    std::vector<uint8_t> value(32);
    for (int step = 1; step <= kSteps; ++step) {
        txw_CreateXCoor(obj, 0, static_cast<uint32_t>(step * 10));
        for (int id = 1; id <= kVars; ++id) {
            for (int bit = 0; bit < 32; ++bit) {
                value[bit] = static_cast<uint8_t>(((step * 7 + id * 13) >> (bit % 8)) & 1);
            }
            value[0] = static_cast<uint8_t>(step & 1);  // always a change
            txw_CreateVarValueByIdcode(obj, id, value.data(), 32);
        }
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);
    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().session_count, 1u) << "all in one session";
    EXPECT_GE(file.Header().vc_blk_cnt, 3u) << "spread over several 1 MB blocks";
    for (int id : {1, 999, kVars}) {
        const std::vector<Seen> changes = file.Changes(static_cast<uint32_t>(id));
        ASSERT_EQ(changes.size(), static_cast<size_t>(kSteps)) << id;
        for (int step : {1, 200, kSteps}) {
            std::string expected(32, '0');  // byte b of the value is bit 31 - b
            for (int b = 0; b < 32; ++b) {
                expected[b] = "01"[((step * 7 + id * 13) >> (b % 8)) & 1];
            }
            expected[0] = "01"[step & 1];
            EXPECT_EQ(changes[step - 1], At(static_cast<uint64_t>(step) * 10, expected)) << id << " " << step;
        }
    }
}

TEST_F(RoundTripTest, LiveFileShowsWhatWasFlushed) {
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 63, 0, 0, 0, 0, 2, "msg", 2), 2);
    ASSERT_EQ(txw_EndTree(obj), 0);
    txw_CreateXCoor(obj, 0, 1);
    Scalar(obj, 1, 1);
    txwCreateStrValByVarIdcode(obj, 2, "first", nullptr);
    txw_CreateXCoor(obj, 0, 2);  // the session ends at 2: step 1 is whole
    ASSERT_EQ(txw_Flush(obj), 0);
    Scalar(obj, 1, 0);  // not flushed yet
    {
        Reading live(path_);
        ASSERT_EQ(live.status, TRAXR_OK) << live.message;
        EXPECT_TRUE(traxr_IsLive(live.reader));
        EXPECT_EQ(live.Header().file_status, 2);
        EXPECT_EQ(live.Changes(1), (std::vector<Seen>{At(1, "1")}));
        EXPECT_EQ(live.Changes(2), (std::vector<Seen>{TextAt(1, "first")}));
    }
    ASSERT_EQ(txw_Flush(obj), 0);
    {
        // Flushed, but 2 is the last step of the live file: it may still be
        // incomplete, and stays hidden until the file is finished.
        Reading live(path_);
        ASSERT_EQ(live.status, TRAXR_OK) << live.message;
        EXPECT_EQ(traxr_SessionCount(live.reader), 2u);
        uint64_t hidden = 0;
        EXPECT_EQ(traxr_HiddenFrom(live.reader, &hidden), 1);
        EXPECT_EQ(hidden, 2u);
        EXPECT_EQ(live.Changes(1), (std::vector<Seen>{At(1, "1")}));
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);
    Reading done(path_);
    ASSERT_EQ(done.status, TRAXR_OK) << done.message;
    EXPECT_FALSE(traxr_IsLive(done.reader));
    EXPECT_EQ(done.Changes(1), (std::vector<Seen>{At(1, "1"), At(2, "0")}));
    EXPECT_EQ(done.Changes(2), (std::vector<Seen>{TextAt(1, "first")}));
}

// Random changes of many variables in many steps, flushed now and then; the
// reader must see, per variable and step, the last value of the step
// whenever it differs from the value written before.
TEST_F(RoundTripTest, RandomRunMatchesTheModel) {
    txwObject *obj = Open();
    constexpr int kScalars = 300;
    constexpr int kBuses = 100;
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    for (int id = 1; id <= kScalars; ++id) {
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, id, "s", 0), id);
    }
    for (int id = kScalars + 1; id <= kScalars + kBuses; ++id) {
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 44, 0, id, "b", 0), id);
    }
    ASSERT_EQ(txw_EndTree(obj), 0);

    std::mt19937 random(1234);
    std::map<int, std::vector<Seen>> expected;
    std::map<int, std::string> last_written;
    uint64_t time = 0;
    for (int step = 0; step < 3000; ++step) {
        time += 1 + random() % 5000;
        if (step == 1500) {
            time += uint64_t{3} << 32;  // into 64-bit time
        }
        if (step % 400 == 399) {
            ASSERT_EQ(txw_Flush(obj), 0);
        }
        txw_CreateXCoor(obj, static_cast<uint32_t>(time >> 32), static_cast<uint32_t>(time));
        std::map<int, std::string> step_value;
        const int changes = static_cast<int>(random() % 60);
        for (int c = 0; c < changes; ++c) {
            const int id = 1 + static_cast<int>(random() % (kScalars + kBuses));
            std::string bits;
            if (id <= kScalars) {
                bits = std::string(1, "01xz"[random() % 4]);
                Scalar(obj, id, static_cast<uint8_t>(std::string("01xz").find(bits[0])));
            } else {
                for (int b = 0; b < 45; ++b) {
                    bits += "01xz"[random() % 8 == 0 ? 2 + random() % 2 : random() % 2];
                }
                ABBus(obj, id, bits);
            }
            step_value[id] = bits;
        }
        for (const auto &[id, bits] : step_value) {
            if (last_written[id] != bits) {
                expected[id].push_back(At(time, bits));
                last_written[id] = bits;
            }
        }
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_GT(file.Header().session_count, 1u);
    for (int id = 1; id <= kScalars + kBuses; ++id) {
        ASSERT_EQ(file.Changes(static_cast<uint32_t>(id)), expected[id]) << "idcode " << id;
    }
}

}  // namespace
}  // namespace tavri::test
