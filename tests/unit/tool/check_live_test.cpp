// trax check on good and damaged files, and the tool on live files that a
// writer in this process is still writing.
#include <atomic>
#include <map>
#include <cstring>
#include <set>
#include <thread>

#include "tavri/trax_reader.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

void PutU32(std::vector<uint8_t> *bytes, size_t at, uint32_t value) {
    std::memcpy(bytes->data() + at, &value, 4);
}
uint32_t GetU32(const std::vector<uint8_t> &bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

class TraxCheck : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        file_ = PathFor("sample.trax");
        WriteSample(file_);
        bytes_ = ReadBytes(file_);
    }
    Outcome CheckBytes(const std::vector<uint8_t> &bytes) {
        const std::string path = PathFor("damaged.trax");
        WriteBytes(path, bytes);
        return Trax({"check", path});
    }
    std::string file_;
    std::vector<uint8_t> bytes_;
};

TEST_F(TraxCheck, AGoodFilePasses) {
    const Outcome run = Trax({"check", file_});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{file_ + ": ok"}));
}

TEST_F(TraxCheck, HeaderCountsThatDisagreeGiveOneLineEach) {
    std::vector<uint8_t> bytes = bytes_;
    PutU32(&bytes, 484, GetU32(bytes, 484) + 1);  // scope creation cnt
    PutU32(&bytes, 456, GetU32(bytes, 456) + 3);  // vc blk cnt
    PutU32(&bytes, 492, 1);                       // bc1 vc creation cnt, below what is stored
    PutU32(&bytes, 428, 4);                       // dump-off count
    bytes[30] = 7;                                // a reserved byte
    const Outcome run = CheckBytes(bytes);
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::string> lines = run.OutLines();
    ASSERT_EQ(lines.size(), 5u) << run.out;
    for (const char *what : {"scope creation cnt", "vc blk cnt", "bc1 vc creation cnt",
                             "dump-off count", "reserved bytes 24..60"}) {
        bool found = false;
        for (const std::string &line : lines) found = found || line.find(what) != std::string::npos;
        EXPECT_TRUE(found) << what << "\n" << run.out;
    }
}

TEST_F(TraxCheck, ADamagedValueChangeBlockIsNamed) {
    traxrReader *reader = nullptr;
    ASSERT_EQ(traxr_Open(file_.c_str(), &reader, nullptr, 0), TRAXR_OK);
    traxrBlockLayout layout{};
    ASSERT_EQ(traxr_GetSessionBlock(reader, 0, TRAXR_BLOCK_VC, 0, &layout), TRAXR_OK);
    traxr_Close(reader);
    std::vector<uint8_t> bytes = bytes_;
    bytes[layout.offset + layout.stored_length - 1] ^= 0xFF;  // the end mark
    const Outcome run = CheckBytes(bytes);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = run.OutLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("value-change block 0 of 0"), std::string::npos) << run.out;
    EXPECT_NE(lines[0].find("does not decompress exactly"), std::string::npos) << run.out;
}

TEST_F(TraxCheck, AnAliasOfAnotherWidthIsReported) {
    const std::string path = PathFor("alias.trax");
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(txw_BeginTree(obj));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "bit", 0), 1);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 3, 0, 1, "nibble", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    const Outcome run = Trax({"check", path});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.OutLines().size(), 1u) << run.out;
    EXPECT_NE(run.out.find("alias nibble of idcode 1 takes 4 value bytes"), std::string::npos)
        << run.out;
}

TEST_F(TraxCheck, AFileCutShortIsOneFailure) {
    std::vector<uint8_t> bytes = bytes_;
    bytes.resize(bytes.size() - 3);
    const Outcome run = CheckBytes(bytes);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.OutLines().size(), 1u) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

class TraxLive : public ToolTest {
  protected:
    txwObject *OpenWith(int variables) { return OpenScalars(PathFor("live.trax"), variables); }
};

TEST_F(TraxLive, DumpShowsWhatWasFlushedAndNothingElse) {
    txwObject *obj = OpenWith(2);
    const uint8_t one = 1, zero = 0;
    txw_CreateXCoor(obj, 0, 5);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    txw_CreateVarValueByIdcode(obj, 2, &zero, 1);
    txw_CreateXCoor(obj, 0, 7);
    txw_CreateVarValueByIdcode(obj, 2, &one, 1);  // the last step flushed: hidden while live
    ASSERT_EQ(txw_Flush(obj), 0);
    txw_CreateXCoor(obj, 0, 9);
    txw_CreateVarValueByIdcode(obj, 1, &zero, 1);  // not flushed yet

    const std::string path = PathFor("live.trax");
    Outcome run = Trax({"dump", path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"5 top/s1 1", "5 top/s2 0"}));
    run = Trax({"info", path});
    EXPECT_TRUE(Contains(run.OutLines(), "file status: 2 (batch)")) << run.out;
    EXPECT_TRUE(Contains(run.OutLines(), "read: live, through the side files")) << run.out;
    // Consistent, but not finished: its writer is still at work.
    run = Trax({"check", path});
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_EQ(run.OutLines(),
              (std::vector<std::string>{path + ": not finished (file status 2, batch): its writer "
                                               "is still running; "
                                               "1 committed session is readable, up to time 6 "
                                               "(the step at 7 may be incomplete and is not shown)"}));

    ASSERT_EQ(txw_CloseFile(obj), 0);
    run = Trax({"dump", path});
    EXPECT_EQ(run.OutLines(),
              (std::vector<std::string>{"5 top/s1 1", "5 top/s2 0", "7 top/s2 1", "9 top/s1 0"}));
}

// While a writer flushes session after session, every dump sees whole
// sessions: each time step it shows has all of its variables.
TEST_F(TraxLive, DumpsDuringFlushesSeeWholeSessions) {
    constexpr int kVariables = 40;
    constexpr int kSessions = 150;
    txwObject *obj = OpenWith(kVariables);
    txw_CreateXCoor(obj, 0, 0);
    for (int id = 1; id <= kVariables; ++id) {
        const uint8_t zero = 0;
        txw_CreateVarValueByIdcode(obj, id, &zero, 1);
    }
    ASSERT_EQ(txw_Flush(obj), 0);
    std::atomic<bool> done{false};
    std::atomic<bool> abandoned{false};
    std::atomic<int> dumps{0};
    std::thread writer([&] {
        for (uint32_t step = 1; step <= kSessions; ++step) {
            txw_CreateXCoor(obj, 0, step);
            const uint8_t value = static_cast<uint8_t>(step & 1);
            for (int id = 1; id <= kVariables; ++id) txw_CreateVarValueByIdcode(obj, id, &value, 1);
            txw_Flush(obj);
            // Every 25 sessions, let a dump start before going on, so that
            // dumps see the file at several stages.
            if (step % 25 == 0) {
                const int seen = dumps;
                while (dumps == seen && !abandoned) std::this_thread::yield();
            }
        }
        done = true;
    });
    // A failed assertion below returns at once: the writer then stops
    // waiting for dumps and is joined, so the failure is reported rather
    // than ending the program with a thread still running.
    struct JoinWriter {
        std::thread &thread;
        std::atomic<bool> &abandoned;
        ~JoinWriter() {
            abandoned = true;
            if (thread.joinable()) thread.join();
        }
    } join_writer{writer, abandoned};
    std::set<size_t> sizes;
    while (!done || dumps < 3) {
        const Outcome run = Trax({"dump", PathFor("live.trax")});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> lines = run.OutLines();
        ASSERT_EQ(lines.size() % kVariables, 0u) << "a dump saw part of a session";
        std::map<std::string, int> per_time;
        for (const std::string &line : lines) ++per_time[line.substr(0, line.find(' '))];
        for (const auto &[time, count] : per_time) EXPECT_EQ(count, kVariables) << time;
        sizes.insert(lines.size());
        ++dumps;
    }
    writer.join();
    EXPECT_GE(sizes.size(), 3u) << "the dumps saw the file at several stages";
    ASSERT_EQ(txw_CloseFile(obj), 0);
    const Outcome last = Trax({"dump", PathFor("live.trax")});
    EXPECT_EQ(last.OutLines().size(), static_cast<size_t>(kVariables) * (kSessions + 1));
}

}  // namespace
}  // namespace tavri::tool_test
