// File switching by name and by size: the files of a switched run, read in
// order, hold the same changes as one file of the same run; the tree blocks
// go over as stored; the same name keeps the old data in ".bak"; the auto
// switch callback comes when the file is within 0x40000 bytes of its limit.
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "roundtrip_util.h"
#include "unit/writer/message_log.h"
#include "writer/messages.h"
#include "writer/object.h"

namespace tavri::test {
namespace {

constexpr int32_t kScalar = 1;
constexpr int32_t kBus = 2;
constexpr int32_t kWide = 3;
constexpr int32_t kText = 4;
constexpr int32_t kReal = 5;
constexpr int32_t kLate = 6;  // in a tree made after the first switch

class SwitchFileTest : public RoundTripTest {
  protected:
    std::string PathOf(const std::string &name) const { return (dir_ / name).string(); }

    static void FirstTree(txwObject *obj) {
        ASSERT_TRUE(txw_BeginTree(obj));
        Scope(obj, "top");
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, kScalar, "clk", 0), kScalar);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 11, 0, kBus, "count", 0), kBus);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 63, 0, kWide, "data", 0), kWide);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 63, 0, 0, 0, 0, kText, "state", 2), kText);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 3, 0, 0, 0, 0, kReal, "level", 3), kReal);
        ASSERT_EQ(txw_EndScope(obj), 0);
        ASSERT_EQ(txw_EndTree(obj), 0);
    }
    static void LateTree(txwObject *obj) {
        ASSERT_TRUE(txw_BeginTree(obj));
        Scope(obj, "late");
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, kLate, "flag", 0), kLate);
        ASSERT_EQ(txw_EndScope(obj), 0);
        ASSERT_EQ(txw_EndTree(obj), 0);
    }

    // One time step of changes; every value differs from the one before, so
    // that nothing is left out as a repeat.
    static void Step(txwObject *obj, uint32_t step, std::mt19937 &random, bool late_tree) {
        txw_CreateXCoor(obj, 0, step * 5);
        Scalar(obj, kScalar, static_cast<uint8_t>(step & 1));
        if (step % 3 == 0) {
            std::string bits;
            for (int b = 11; b >= 0; --b) bits += ((step >> b) & 1) != 0 ? '1' : '0';
            Bus(obj, kBus, bits);
        }
        if (step % 4 == 1) {
            std::string bits;
            const uint64_t value = (static_cast<uint64_t>(random()) << 32) | random() | 1;
            for (int b = 63; b >= 0; --b) bits += ((value >> b) & 1) != 0 ? '1' : '0';
            ABBus(obj, kWide, step % 8 == 1 ? "xz" + bits.substr(2) : bits);
        }
        if (step % 7 == 2) {
            const std::string text = "state" + std::to_string(step % 11);
            txwCreateStrValByVarIdcode(obj, kText, text.c_str(), nullptr);
        }
        if (step % 5 == 3) {
            const double level = step * 0.25;
            txw_CreateVarValueByIdcode(obj, kReal, &level, 1);
        }
        if (late_tree && step % 2 == 0) {
            Scalar(obj, kLate, static_cast<uint8_t>((step / 2) & 1));
        }
        if (step % 97 == 0) {
            txw_Flush(obj);
        }
    }

    using Stream = std::map<int32_t, std::vector<Seen>>;

    static Stream ReadAll(const std::string &path, bool with_late) {
        Reading file(path);
        EXPECT_EQ(file.status, TRAXR_OK) << path << ": " << file.message;
        Stream stream;
        if (file.status != TRAXR_OK) return stream;
        for (int32_t idcode : {kScalar, kBus, kWide, kText, kReal}) stream[idcode] = file.Changes(idcode);
        if (with_late) stream[kLate] = file.Changes(kLate);
        return stream;
    }
};

TEST_F(SwitchFileTest, SwitchedFilesTogetherEqualTheUnswitchedStream) {
    constexpr uint32_t kSteps = 1200;
    constexpr uint32_t kFirstSwitch = 400;   // before the late tree
    constexpr uint32_t kSecondSwitch = 900;  // after it
    constexpr uint32_t kLateTreeAt = 600;

    // The run in one file.
    {
        std::mt19937 random(7);
        txwObject *obj = txw_OpenFile(PathOf("whole.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj, nullptr);
        FirstTree(obj);
        for (uint32_t step = 0; step < kSteps; ++step) {
            if (step == kLateTreeAt) LateTree(obj);
            Step(obj, step, random, step >= kLateTreeAt);
        }
        ASSERT_EQ(txw_CloseFile(obj), 0);
    }
    // The same run over three files.
    {
        std::mt19937 random(7);
        txwObject *obj = txw_OpenFile(PathOf("part0.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj, nullptr);
        FirstTree(obj);
        for (uint32_t step = 0; step < kSteps; ++step) {
            if (step == kLateTreeAt) LateTree(obj);
            if (step == kFirstSwitch || step == kSecondSwitch) {
                // The switch comes in the middle of a time step.
                txw_CreateXCoor(obj, 0, step * 5);
                Scalar(obj, kScalar, static_cast<uint8_t>(step & 1));
                const std::string next = PathOf(step == kFirstSwitch ? "part1.trax" : "part2.trax");
                obj = txw_SwitchFile(obj, next.c_str());
                ASSERT_NE(obj, nullptr);
            }
            Step(obj, step, random, step >= kLateTreeAt);
        }
        ASSERT_EQ(txw_CloseFile(obj), 0);
    }

    const Stream whole = ReadAll(PathOf("whole.trax"), true);
    Stream joined;
    for (const char *part : {"part0.trax", "part1.trax", "part2.trax"}) {
        const bool late = std::string(part) != "part0.trax";
        for (auto &[idcode, changes] : ReadAll(PathOf(part), late)) {
            std::vector<Seen> &all = joined[idcode];
            // A file may start with the value its variable had at the end
            // of the file before.
            const bool repeats = !all.empty() && !changes.empty() && all.back() == changes.front();
            all.insert(all.end(), changes.begin() + (repeats ? 1 : 0), changes.end());
        }
    }
    for (const auto &[idcode, changes] : whole) {
        EXPECT_FALSE(changes.empty()) << idcode;
        EXPECT_EQ(joined[idcode], changes) << "idcode " << idcode;
    }

    // Each part's time range starts where the one before it ended.
    Reading second(PathOf("part1.trax"));
    ASSERT_EQ(second.status, TRAXR_OK) << second.message;
    EXPECT_EQ(second.Header().minimum_xtag, kFirstSwitch * 5u);
    EXPECT_EQ(second.Header().maximum_xtag, kSecondSwitch * 5u);
    EXPECT_EQ(second.Names(kScalar), std::vector<std::string>{"top.clk"});
    for (const char *part : {"part0.trax", "part1.trax"}) {
        EXPECT_FALSE(std::filesystem::exists(PathOf(part) + ".str")) << part;
        EXPECT_FALSE(std::filesystem::exists(PathOf(part) + ".tlist")) << part;
    }
}

TEST_F(SwitchFileTest, NewFileTakesAValueEqualToTheOldFilesLast) {
    txwObject *obj = Open();
    FirstTree(obj);
    txw_CreateXCoor(obj, 0, 10);
    Scalar(obj, kScalar, 1);
    Bus(obj, kBus, "000000000101");
    txw_Flush(obj);
    obj = txw_SwitchFile(obj, PathOf("next.trax").c_str());
    ASSERT_NE(obj, nullptr);
    // What a dumper writes first into a new file: every value, unchanged.
    txw_CreateXCoor(obj, 0, 10);
    Scalar(obj, kScalar, 1);
    Bus(obj, kBus, "000000000101");
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading next(PathOf("next.trax"));
    ASSERT_EQ(next.status, TRAXR_OK) << next.message;
    EXPECT_EQ(next.Changes(kScalar), std::vector<Seen>{At(10, "1")});
    EXPECT_EQ(next.Changes(kBus), std::vector<Seen>{At(10, "000000000101")});
}

TEST_F(SwitchFileTest, SameNameKeepsTheOldDataInBak) {
    blocks_test::MessageLog log;
    txwObject *obj = Open();
    FirstTree(obj);
    txw_CreateXCoor(obj, 0, 1);
    Scalar(obj, kScalar, 0);
    txwCreateStrValByVarIdcode(obj, kText, "before", nullptr);
    txw_CreateXCoor(obj, 0, 2);
    obj = txw_SwitchFile(obj, path_.c_str());
    ASSERT_NE(obj, nullptr);
    txw_CreateXCoor(obj, 0, 3);
    Scalar(obj, kScalar, 1);
    txwCreateStrValByVarIdcode(obj, kText, "after", nullptr);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading old_file(path_ + ".bak");
    ASSERT_EQ(old_file.status, TRAXR_OK) << old_file.message;
    EXPECT_EQ(old_file.Changes(kScalar), std::vector<Seen>{At(1, "0")});
    EXPECT_EQ(old_file.Changes(kText), std::vector<Seen>{TextAt(1, "before")});
    Reading new_file(path_);
    ASSERT_EQ(new_file.status, TRAXR_OK) << new_file.message;
    EXPECT_EQ(new_file.Changes(kScalar), std::vector<Seen>{At(3, "1")});
    EXPECT_EQ(new_file.Changes(kText), std::vector<Seen>{TextAt(3, "after")});
    EXPECT_EQ(new_file.Names(kText), std::vector<std::string>{"top.state"});
    const std::string told = "trax Writer has renamed the existing " + path_ + " to " + path_ + ".bak\n";
    EXPECT_NE(std::find(log.warnings().begin(), log.warnings().end(), told), log.warnings().end());
}

// The stored bytes of every tree block of a writer, in tree order.
std::vector<std::string> TreeBlockBytes(const txwObject *obj, const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> blocks;
    for (const writer::TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        for (const writer::BlockList *list : {&tree->scope_blocks, &tree->var_blocks, &tree->data_type_blocks}) {
            for (const writer::BlockNode *node = list->head; node != nullptr; node = node->next) {
                blocks.push_back(file.substr(node->layout.offset, node->layout.stored_length));
            }
        }
    }
    return blocks;
}

TEST_F(SwitchFileTest, TreeBlocksGoOverAsStored) {
    txwObject *obj = Open();
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    // Enough variables for several variable blocks.
    for (int32_t idcode = 1; idcode <= 60000; ++idcode) {
        const std::string name = "signal_with_a_long_name_" + std::to_string(idcode);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, idcode, name.c_str(), 0), idcode);
    }
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndTree(obj), 0);
    txw_CreateXCoor(obj, 0, 4);
    Scalar(obj, 1, 1);
    txw_Flush(obj);
    const std::vector<std::string> before = TreeBlockBytes(obj, path_);
    ASSERT_GT(before.size(), 2u);
    const uint32_t stored_before = obj->stored_blocks;

    const std::string next = PathOf("next.trax");
    obj = txw_SwitchFile(obj, next.c_str());
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->stored_blocks, stored_before) << "no block was compressed and stored again";
    txw_CreateXCoor(obj, 0, 5);
    Scalar(obj, 60000, 1);
    txw_Flush(obj);
    EXPECT_EQ(TreeBlockBytes(obj, next), before);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    Reading file(next);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Names(60000), std::vector<std::string>{"top.signal_with_a_long_name_60000"});
    EXPECT_EQ(file.Changes(60000), std::vector<Seen>{At(5, "1")});
}

TEST_F(SwitchFileTest, UnwritableNextFileLeavesTheOldFileFinished) {
    blocks_test::MessageLog log;
    txwObject *obj = Open();
    FirstTree(obj);
    txw_CreateXCoor(obj, 0, 8);
    Scalar(obj, kScalar, 1);
    EXPECT_EQ(txw_SwitchFile(obj, PathOf("no/such/dir/next.trax").c_str()), nullptr);
    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().file_status, 0) << "finished";
    EXPECT_EQ(file.Changes(kScalar), std::vector<Seen>{At(8, "1")});
}

// ---- automatic switching ----

struct Calls {
    std::vector<txwAutoSwitchInfo> infos;
    std::vector<uint64_t> high_water;  // the file's size as the writer saw it
    std::vector<std::string> next_names;  // switch to these, in turn
    std::string dir;
    txwObject *current = nullptr;  // the writer of the newest file
};

void OnLimit(const txwAutoSwitchInfo *info, void *data) {
    auto &calls = *static_cast<Calls *>(data);
    calls.infos.push_back(*info);
    calls.high_water.push_back(info->writer->file_high_water);
    if (calls.infos.size() <= calls.next_names.size()) {
        calls.current =
            txw_SwitchFile(info->writer, (calls.dir + "/" + calls.next_names[calls.infos.size() - 1]).c_str());
    }
}

txwObject *OpenAuto(const std::string &path, uint32_t megabytes, Calls *calls) {
    txwAutoSwitchParam param{};
    param.size = sizeof param;
    param.file_name = path.c_str();
    param.limit_mb = megabytes;
    param.callback = OnLimit;
    param.callback_data = calls;
    return txwOpenAutoSwitchFile(&param);
}

// A 64-bit value that does not compress.
void Noise(txwObject *obj, int32_t idcode, std::mt19937 &random) {
    uint32_t words[4] = {static_cast<uint32_t>(random()), 0, static_cast<uint32_t>(random()), 0};
    txw_CreateABBusValueByIdcode(obj, idcode, words, 64);
}

TEST_F(SwitchFileTest, AutoSwitchCallbackComesWithin0x40000BytesOfTheLimit) {
    Calls calls;
    txwObject *obj = OpenAuto(path_, 2, &calls);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->limited_file_size, 2u << 20);
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    for (int32_t idcode = 1; idcode <= 16; ++idcode) {
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 63, 0, idcode, ("v" + std::to_string(idcode)).c_str(), 0),
                  idcode);
    }
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndTree(obj), 0);
    EXPECT_EQ(obj->header.U32(writer::kHdrWriterMemLimit), 7u) << "the small memory stays after the tree";

    std::mt19937 random(3);
    constexpr int64_t kThreshold = (2 << 20) - 0x40000;
    uint32_t step = 1;
    for (; calls.infos.empty() && step < 200000; ++step) {
        const auto high_water = static_cast<int64_t>(obj->file_high_water);
        txw_CreateXCoor(obj, 0, step);
        ASSERT_EQ(!calls.infos.empty(), high_water >= kThreshold) << "step " << step << ", size " << high_water;
        for (int32_t idcode = 1; idcode <= 16; ++idcode) Noise(obj, idcode, random);
        if (step % 500 == 0) txw_Flush(obj);
    }
    ASSERT_EQ(calls.infos.size(), 1u);
    EXPECT_EQ(calls.infos[0].writer, obj);
    EXPECT_EQ(calls.infos[0].xtag_low, step - 1);
    EXPECT_EQ(calls.infos[0].max_var_idcode, 16u);
    EXPECT_EQ(calls.infos[0].limit_too_small, 0);
    // Not switched: every further time tag asks again, a repeated one too.
    txw_CreateXCoor(obj, 0, step - 1);
    txw_CreateXCoor(obj, 0, step);
    EXPECT_EQ(calls.infos.size(), 3u);
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(SwitchFileTest, AutoSwitchedSeriesHoldsTheWholeRun) {
    Calls calls;
    calls.dir = dir_.string();
    calls.next_names = {"run_001.trax", "run_002.trax"};
    txwObject *obj = OpenAuto(PathOf("run_000.trax"), 2, &calls);
    ASSERT_NE(obj, nullptr);
    constexpr int32_t kVars = 20;
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    for (int32_t idcode = 1; idcode <= kVars; ++idcode) {
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 63, 0, idcode, ("v" + std::to_string(idcode)).c_str(), 0),
                  idcode);
    }
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndTree(obj), 0);

    std::mt19937 random(5);
    std::vector<uint32_t> times;
    for (uint32_t step = 1; calls.infos.size() < 2 || step % 100 != 0; ++step) {
        txw_CreateXCoor(obj, 0, step);
        // The switch happens inside the time tag.
        if (calls.current != nullptr) {
            obj = std::exchange(calls.current, nullptr);
        }
        for (int32_t idcode = 1; idcode <= kVars; ++idcode) Noise(obj, idcode, random);
        times.push_back(step);
        ASSERT_LT(step, 100000u);
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);
    ASSERT_EQ(calls.infos.size(), 2u);

    size_t changes = 0;
    uint64_t previous_end = 0;
    for (const char *part : {"run_000.trax", "run_001.trax", "run_002.trax"}) {
        Reading file(PathOf(part));
        ASSERT_EQ(file.status, TRAXR_OK) << part << ": " << file.message;
        for (int32_t idcode = 1; idcode <= kVars; ++idcode) {
            const std::vector<Seen> seen = file.Changes(idcode);
            ASSERT_FALSE(seen.empty()) << part;
            EXPECT_GE(seen.front().time, previous_end) << part;
            changes += seen.size();
        }
        previous_end = file.Header().maximum_xtag;
        if (std::string(part) != "run_002.trax") {
            EXPECT_LE(std::filesystem::file_size(PathOf(part)), (2u << 20) + (1u << 20)) << part;
        }
    }
    EXPECT_EQ(changes, times.size() * kVars);
}

TEST_F(SwitchFileTest, LimitTooSmallIsFlaggedAtTheSecondTimeTag) {
    blocks_test::MessageLog log;
    Calls calls;
    txwObject *obj = OpenAuto(path_, 1, &calls);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->limited_file_size, 2u << 20) << "1 MB is raised to the minimum";
    EXPECT_EQ(log.warnings().front(), "User defined limited file size is too small(1), use 2 instead.\n");
    // One time step of wide values that do not compress fills the file.
    constexpr int32_t kVars = 600;
    constexpr uint32_t kWidth = 32768;
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    for (int32_t idcode = 1; idcode <= kVars; ++idcode) {
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, kWidth - 1, 0, idcode, ("v" + std::to_string(idcode)).c_str(),
                                           0),
                  idcode);
    }
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndTree(obj), 0);
    std::mt19937 random(9);
    txw_CreateXCoor(obj, 0, 1);
    std::vector<uint32_t> words(kWidth / 16, 0);
    for (int32_t idcode = 1; idcode <= kVars; ++idcode) {
        for (size_t i = 0; i < words.size(); i += 2) words[i] = static_cast<uint32_t>(random());
        txw_CreateABBusValueByIdcode(obj, idcode, words.data(), kWidth);
    }
    txw_Flush(obj);
    ASSERT_GT(obj->file_high_water, 2u << 20);
    txw_CreateXCoor(obj, 0, 2);
    ASSERT_EQ(calls.infos.size(), 1u);
    EXPECT_EQ(calls.infos[0].limit_too_small, 1);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    blocks_test::MessageLog large;
    Calls none;
    txwObject *big = OpenAuto(PathOf("big.trax"), 5000, &none);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->limited_file_size, 1900u << 20);
    EXPECT_EQ(large.warnings().at(1), "Current limited file size 5000MB is too large. Use 1900MB instead.\n");
    ASSERT_EQ(txw_CloseFile(big), 0);
}

}  // namespace
}  // namespace tavri::test
