// Files bounded by a size limit, read back: a long stream under a 10 MB dump
// limit keeps the last stretch of the stream whole and never outgrows the
// limit; a live reader never sees a session the ring gave up; a time step
// bigger than the ring enlarges the limit and keeps the step; a stop limit
// keeps the first stretch.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string_view>

#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "ring_file.h"
#include "roundtrip_util.h"

namespace tavri::test {
namespace {

constexpr uint64_t kMB = 1u << 20;

// A deterministic stream of value changes over scalars, 32-bit and 256-bit
// A/B buses with random values, and 8-bit normal-bus vectors, written to
// every writer given, step by step.
class ChangeStream {
  public:
    enum Kind { kScalar, kBus32, kBus256, kBytes8 };
    static constexpr int kVars = 600;

    static Kind KindOf(int32_t idcode) {
        return idcode <= 300 ? kScalar : idcode <= 450 ? kBus32 : idcode <= 550 ? kBus256 : kBytes8;
    }

    static void Declare(txwObject *obj) {
        ASSERT_TRUE(txw_BeginTree(obj));
        txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
        ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
        for (int32_t id = 1; id <= kVars; ++id) {
            const Kind kind = KindOf(id);
            const int32_t left = kind == kScalar ? 0 : kind == kBus32 ? 31 : kind == kBus256 ? 255 : 7;
            const std::string name = "v" + std::to_string(id);
            ASSERT_EQ(txw_CreateVarByVarIdcode(obj, kind == kScalar ? 15 : 4, 0, 0, left, 0, id, name.c_str(), 0),
                      id);
        }
        ASSERT_EQ(txw_EndTree(obj), 0);
    }

    // One time step of `changes` changes, to each writer; with `wide_only`
    // only the 256-bit buses change (about 36 bytes a change on disk).
    void Step(const std::vector<txwObject *> &writers, uint32_t changes, bool wide_only = false) {
        time_ += 1 + random_() % 4;
        for (txwObject *obj : writers) txw_CreateXCoor(obj, 0, time_);
        for (uint32_t c = 0; c < changes; ++c) {
            const auto id = wide_only ? static_cast<int32_t>(451 + random_() % 100)
                                      : static_cast<int32_t>(1 + random_() % kVars);
            switch (KindOf(id)) {
                case kScalar: {
                    const uint32_t r = random_() % 16;
                    const uint8_t value = r == 0 ? 2 : r == 1 ? 3 : static_cast<uint8_t>(r & 1);
                    for (txwObject *obj : writers) txw_CreateVarValueByIdcode(obj, id, &value, 1);
                    break;
                }
                case kBus32:
                case kBus256: {
                    const int pairs = KindOf(id) == kBus32 ? 1 : 8;
                    uint32_t words[16] = {};
                    for (int p = 0; p < pairs; ++p) words[2 * p] = random_();
                    if (random_() % 32 == 0) words[1] = 0x10;  // a z bit now and then
                    for (txwObject *obj : writers) {
                        uint32_t copy[16];
                        std::memcpy(copy, words, sizeof words);
                        txw_CreateABBusValueByIdcode(obj, id, copy, pairs * 32);
                    }
                    break;
                }
                case kBytes8: {
                    uint8_t bits[8];
                    const uint32_t r = random_();
                    for (int b = 0; b < 8; ++b) bits[b] = static_cast<uint8_t>((r >> (2 * b)) & 3);
                    for (txwObject *obj : writers) txw_CreateVarValueByIdcode(obj, id, bits, 8);
                    break;
                }
            }
        }
    }

    uint32_t time() const { return time_; }

  private:
    std::mt19937 random_{20240611};
    uint32_t time_ = 0;
};

// The step values of a file the reader reads as a whole, from `from` on.
std::map<uint32_t, StepValues::Steps> WholeFileSteps(const std::string &path, uint64_t from, uint64_t to,
                                                     std::string *error) {
    StepValues steps(from);
    Reading file(path);
    if (file.status != TRAXR_OK) {
        *error = file.message;
        return {};
    }
    traxrWalk *walk = nullptr;
    if (traxr_OpenWalk(file.reader, nullptr, 0, 0, to, &walk) != TRAXR_OK) {
        *error = traxr_LastMessage(file.reader);
        return {};
    }
    uint32_t idcode = 0;
    traxrChange change{};
    traxrStatus status;
    while ((status = traxr_WalkNext(walk, &idcode, &change)) == TRAXR_OK) {
        steps.Add(idcode, change.time, ValueText(change.bits, change.bit_count));
    }
    if (status != TRAXR_END) *error = traxr_LastMessage(file.reader);
    traxr_CloseWalk(walk);
    return steps.Result();
}

// The step values of a ring file as its own structures give them.
std::map<uint32_t, StepValues::Steps> RingSteps(RingFile &ring, std::string *error) {
    StepValues steps(ring.header.minimum_xtag);
    std::vector<reader::Change> changes;
    for (uint32_t idcode = 0; idcode < ring.chain.last.size(); ++idcode) {
        if (!ring.Changes(idcode, &changes)) {
            *error = "idcode " + std::to_string(idcode) + ": " + ring.error;
            return {};
        }
        for (const reader::Change &change : changes) {
            steps.Add(idcode, change.time, ValueText(change.codes(), static_cast<uint32_t>(change.code_count())));
        }
    }
    return steps.Result();
}

// The first difference between two sets of step values, or "".
std::string FirstDifference(const std::map<uint32_t, StepValues::Steps> &ours,
                            const std::map<uint32_t, StepValues::Steps> &expected) {
    for (const auto &[idcode, steps] : expected) {
        const auto found = ours.find(idcode);
        if (found == ours.end()) return "idcode " + std::to_string(idcode) + " is missing";
        const StepValues::Steps &got = found->second;
        for (size_t i = 0; i < std::max(steps.size(), got.size()); ++i) {
            if (i >= got.size() || i >= steps.size() || got[i] != steps[i]) {
                std::ostringstream out;
                out << "idcode " << idcode << ", step " << i << ": ";
                if (i < got.size()) out << "got (" << got[i].first << ", " << got[i].second << ")";
                else out << "got nothing";
                if (i < steps.size()) out << ", expected (" << steps[i].first << ", " << steps[i].second << ")";
                else out << ", expected nothing";
                return out.str();
            }
        }
    }
    for (const auto &[idcode, steps] : ours) {
        if (expected.count(idcode) == 0) return "idcode " + std::to_string(idcode) + " is not expected";
    }
    return "";
}

// What must hold of a ring file at every moment a reader can see it: the
// blocks it names as present lie inside the file and apart from each other,
// no session is partly given up, the redundant ranges lie among the present
// vc chain blocks, and every retained chain decodes, within the file's time
// range (every `stride`th idcode is decoded). Returns the first fault, or "".
std::string RingFault(RingFile &ring, uint32_t stride = 1) {
    const traxrHeader &h = ring.header;
    std::vector<reader::BlockLayout> blocks = ring.PresentBlocks();
    std::sort(blocks.begin(), blocks.end(), [](const auto &a, const auto &b) { return a.offset < b.offset; });
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].offset < 2816 || blocks[i].offset + blocks[i].stored_length > ring.size()) {
            return "a block at " + std::to_string(blocks[i].offset) + " lies outside the data";
        }
        if (i > 0 && blocks[i - 1].offset + blocks[i - 1].stored_length > blocks[i].offset) {
            return "blocks at " + std::to_string(blocks[i - 1].offset) + " and " + std::to_string(blocks[i].offset) +
                   " overlap";
        }
    }
    for (const reader::SessionRecord &session : ring.sessions) {
        const uint64_t end = session.first_chain_block + session.chain_blocks.size();
        if (session.first_chain_block < h.first_valid_vc_chain_block && end > h.first_valid_vc_chain_block) {
            return "a session is partly given up";
        }
    }
    uint32_t previous_end = 0;
    for (const auto &[start, end] : ring.redundant) {
        if (start == 0xFFFFFFFFu && end == 0xFFFFFFFFu) continue;
        if (start < h.first_valid_vc_chain_block || end < start || end >= h.vc_chain_blk_cnt ||
            start < previous_end) {
            return "redundant range " + std::to_string(start) + ".." + std::to_string(end) + " is out of place";
        }
        previous_end = end + 1;
    }
    std::vector<reader::Change> changes;
    for (uint32_t idcode = 0; idcode < ring.chain.last.size(); idcode += stride) {
        if (!ring.Changes(idcode, &changes)) return "idcode " + std::to_string(idcode) + ": " + ring.error;
        for (const reader::Change &change : changes) {
            if (change.time < h.minimum_xtag || change.time > h.maximum_xtag) {
                return "idcode " + std::to_string(idcode) + " changes at " + std::to_string(change.time) +
                       ", outside the file's time range";
            }
        }
    }
    return "";
}

class SizeLimit : public RoundTripTest {
  protected:
    std::string Other(const std::string &name) const { return (dir_ / name).string(); }
    std::string WholePath() const { return Other("whole.trax"); }

    // The bounded file (path_) and, when `with_whole`, the same stream
    // without a bound (WholePath()): both at time 0, `bound` applied to the
    // first (and `both` to each), the stream's variables declared.
    void OpenFiles(const std::function<int(txwObject *)> &bound, bool with_whole = true,
                   const std::function<void(txwObject *)> &both = nullptr) {
        bounded_ = Open();
        ASSERT_NE(bounded_, nullptr);
        if (with_whole) {
            whole_ = txw_OpenFile(WholePath().c_str(), TXW_FILE_VERILOG);
            ASSERT_NE(whole_, nullptr);
        }
        for (txwObject *obj : Writers()) txw_CreateXCoor(obj, 0, 0);
        ASSERT_EQ(bound(bounded_), 0);
        for (txwObject *obj : Writers()) {
            if (both) both(obj);
            ASSERT_NO_FATAL_FAILURE(ChangeStream::Declare(obj));
        }
    }
    std::vector<txwObject *> Writers() const {
        return whole_ != nullptr ? std::vector<txwObject *>{bounded_, whole_} : std::vector<txwObject *>{bounded_};
    }
    void Steps(int count, uint32_t changes = 30) {
        for (int step = 0; step < count; ++step) stream_.Step(Writers(), changes);
    }
    void CloseFiles() {
        for (txwObject *obj : Writers()) ASSERT_EQ(txw_CloseFile(obj), 0);
        bounded_ = whole_ = nullptr;
    }

    // The ring file, from its first time on, holds what the whole stream
    // holds from then on.
    void ExpectTheLastStretch(RingFile &file) {
        std::string error;
        const auto expected = WholeFileSteps(WholePath(), file.header.minimum_xtag, UINT64_MAX, &error);
        ASSERT_EQ(error, "");
        const auto got = RingSteps(file, &error);
        ASSERT_EQ(error, "");
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_EQ(FirstDifference(got, expected), "");
    }

    static int DumpLimit10(txwObject *obj) { return txw_SetDumpLimit(obj, 10); }

    txwObject *bounded_ = nullptr;
    txwObject *whole_ = nullptr;
    ChangeStream stream_;
};

TEST_F(SizeLimit, LongStreamKeepsTheLastStretchWholeInsideTheLimit) {
    ASSERT_NO_FATAL_FAILURE(OpenFiles(DumpLimit10));
    uint64_t largest = 0;
    for (int step = 0; step < 160000; ++step) {
        Steps(1);
        largest = std::max<uint64_t>(largest, std::filesystem::file_size(path_));
    }
    ASSERT_NO_FATAL_FAILURE(CloseFiles());
    EXPECT_LE(largest, 10 * kMB) << "while the file was written";
    EXPECT_LE(std::filesystem::file_size(path_), 10 * kMB) << "once finished";

    RingFile file;
    ASSERT_TRUE(file.Load(path_, false)) << file.error;
    EXPECT_EQ(file.header.dump_limit, 10u) << "no enlargement was needed";
    uint64_t written = 0;
    for (const reader::SessionRecord &session : file.sessions) {
        for (const auto *list : {&session.vc_blocks, &session.chain_blocks}) {
            for (const reader::BlockLayout &block : *list) written += block.stored_length;
        }
    }
    EXPECT_GT(written, 3 * 10 * kMB) << "the ring came round several times";
    EXPECT_GT(file.header.first_valid_vc_chain_block, 0u);
    EXPECT_GT(file.header.minimum_xtag, 0u);
    EXPECT_FALSE(file.redundant.empty());
    EXPECT_EQ(RingFault(file), "");
    ExpectTheLastStretch(file);
}

// The same check through the reader library, which reads ring files once it
// supports them.
TEST_F(SizeLimit, ReaderReadsTheRingAsTheLastStretchOfTheStream) {
    ASSERT_NO_FATAL_FAILURE(OpenFiles(DumpLimit10));
    Steps(80000);
    ASSERT_NO_FATAL_FAILURE(CloseFiles());

    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    const uint64_t from = file.Header().minimum_xtag;
    ASSERT_GT(from, 0u) << "the ring came round";
    std::string error;
    const auto got = WholeFileSteps(path_, from, UINT64_MAX, &error);
    ASSERT_EQ(error, "");
    const auto expected = WholeFileSteps(WholePath(), from, UINT64_MAX, &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(FirstDifference(got, expected), "");
}

TEST_F(SizeLimit, LiveReaderNeverSeesAGivenUpSession) {
    ASSERT_NO_FATAL_FAILURE(OpenFiles(DumpLimit10, false));
    Steps(2000);
    ASSERT_EQ(txw_Flush(bounded_), 0);
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    const std::string result_path = Other("reader.txt");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Reads the live file under the lock, again and again, until told to
        // stop; writes "<reads> <distinct first valid blocks seen> <fault>".
        close(stop[1]);
        uint32_t reads = 0;
        std::vector<uint32_t> first_valid;
        std::string fault;
        for (;;) {
            const platform::FileHandle lock = platform::OpenForReadWrite((path_ + ".lock").c_str());
            if (lock < 0 || platform::LockFirstByte(lock) != 0) {
                fault = "the lock cannot be taken";
                break;
            }
            RingFile file;
            if (!file.Load(path_, true)) {
                fault = "load: " + file.error;
            } else {
                fault = RingFault(file, 7);
                first_valid.push_back(file.header.first_valid_vc_chain_block);
            }
            platform::UnlockFirstByte(lock);
            platform::Close(lock);
            ++reads;
            if (!fault.empty()) break;
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(stop[0], &ready);
            // A pause between reads lets the writer take the lock.
            timeval pause{0, 50000};
            if (select(stop[0] + 1, &ready, nullptr, nullptr, &pause) > 0) break;
        }
        std::sort(first_valid.begin(), first_valid.end());
        const auto distinct = std::unique(first_valid.begin(), first_valid.end()) - first_valid.begin();
        std::ofstream(result_path) << reads << "\n" << distinct << "\n" << fault << "\n";
        _exit(0);
    }
    close(stop[0]);
    Steps(90000);
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_NO_FATAL_FAILURE(CloseFiles());
    std::ifstream result(result_path);
    std::string reads_text, distinct_text, fault;
    ASSERT_TRUE(std::getline(result, reads_text) && std::getline(result, distinct_text));
    std::getline(result, fault);
    const auto reads = std::stoul(reads_text);
    const auto distinct = std::stoul(distinct_text);
    EXPECT_EQ(fault, "");
    EXPECT_GE(reads, 3ul);
    EXPECT_GE(distinct, 3ul) << "the reader saw the ring come round while it read";
}

// A later tree, begun once value changes were written: under a dump limit
// its blocks go behind the ring.
void DeclareLateTree(txwObject *obj) {
    ASSERT_TRUE(txw_BeginTree(obj));
    txwScopeDesc scope{"late", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, ChangeStream::kVars + 1, "s", 0),
              ChangeStream::kVars + 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
}

std::vector<uint32_t> EnlargedSizes(const std::vector<std::string> &warnings) {
    std::vector<uint32_t> sizes;
    for (const std::string &text : warnings) {
        unsigned size = 0;
        if (std::sscanf(text.c_str(), "Dumplimit size enlarged to %u MB.", &size) == 1) sizes.push_back(size);
    }
    return sizes;
}

std::vector<std::string> &Warnings() {
    static std::vector<std::string> warnings;
    return warnings;
}

class SizeLimitWithMessages : public SizeLimit {
  protected:
    void SetUp() override {
        SizeLimit::SetUp();
        Warnings().clear();
        txw_SetMessageHooks([](const char *text) { Warnings().emplace_back(text); }, nullptr, nullptr);
    }
    void TearDown() override {
        platform::SetWriteFunction(nullptr);
        txw_SetMessageHooks(nullptr, nullptr, nullptr);
        SizeLimit::TearDown();
    }
};

TEST_F(SizeLimitWithMessages, TimeStepsBiggerThanTheRingEnlargeItAndAreKeptWhole) {
    // Every change of a big time step is kept, none merged by the glitch rule.
    ASSERT_NO_FATAL_FAILURE(OpenFiles(DumpLimit10, true, [](txwObject *obj) { txw_SetGlitchNum(obj, 0); }));
    Steps(3000);
    for (txwObject *obj : Writers()) ASSERT_NO_FATAL_FAILURE(DeclareLateTree(obj));
    Steps(3000);
    // About 14 MB in one time step: the ring of 10 MB doubles.
    stream_.Step(Writers(), 400000, true);
    EXPECT_EQ(EnlargedSizes(Warnings()), std::vector<uint32_t>{20});
    Steps(3000);
    // About 24 MB: the 20 MB ring grows 1 MB at a time until it holds them,
    // so that the file ends with the whole step.
    stream_.Step(Writers(), 670000, true);
    const uint32_t big_step = stream_.time();
    ASSERT_NO_FATAL_FAILURE(CloseFiles());

    const std::vector<uint32_t> sizes = EnlargedSizes(Warnings());
    ASSERT_GE(sizes.size(), 3u);
    for (size_t i = 1; i < sizes.size(); ++i) EXPECT_EQ(sizes[i], 20 + i);
    EXPECT_EQ(std::count(Warnings().begin(), Warnings().end(), "Dumplimit size too small.\n"),
              static_cast<long>(sizes.size()));
    EXPECT_EQ(std::count(Warnings().begin(), Warnings().end(), "There are too many value changes in a timestep.\n"),
              static_cast<long>(sizes.size()));

    RingFile file;
    ASSERT_TRUE(file.Load(path_, false)) << file.error;
    EXPECT_EQ(file.header.dump_limit, sizes.back());
    EXPECT_LE(file.size(), static_cast<uint64_t>(sizes.back()) * kMB);
    EXPECT_LE(file.header.minimum_xtag, big_step) << "the big time step is in the file";
    EXPECT_EQ(RingFault(file), "");
    // The late tree's blocks moved with the ring's end and are found where
    // the tree list says.
    ASSERT_EQ(file.trees.size(), 2u);
    ASSERT_FALSE(file.trees[1].scope_blocks.empty());
    std::vector<uint8_t> scopes;
    ASSERT_TRUE(file.Block(file.trees[1].scope_blocks[0], &scopes)) << file.error;
    ASSERT_GE(scopes.size(), 6u);
    EXPECT_EQ(scopes[0], 0xFE);
    const std::string_view late = "late";
    EXPECT_NE(std::search(scopes.begin(), scopes.end(), late.begin(), late.end()), scopes.end());

    ExpectTheLastStretch(file);
}

// Every write storing half of its bytes, as a nearly full disk or a signal
// can make it: when the ring grows and its trees move up, the move finishes
// each chunk instead of giving up on the run.
TEST_F(SizeLimitWithMessages, TreesMoveWholeWhenWritesStoreOnlyPartOfTheirBytes) {
    ASSERT_NO_FATAL_FAILURE(OpenFiles(DumpLimit10, true, [](txwObject *obj) { txw_SetGlitchNum(obj, 0); }));
    Steps(3000);
    for (txwObject *obj : Writers()) ASSERT_NO_FATAL_FAILURE(DeclareLateTree(obj));
    Steps(3000);
    platform::SetWriteFunction([](platform::FileHandle file, const void *data, size_t length) {
        return static_cast<long>(::write(file, data, length > 1 ? length / 2 : length));
    });
    stream_.Step(Writers(), 400000, true);
    Steps(300);
    ASSERT_NO_FATAL_FAILURE(CloseFiles());
    EXPECT_EQ(EnlargedSizes(Warnings()), std::vector<uint32_t>{20});

    RingFile file;
    ASSERT_TRUE(file.Load(path_, false)) << file.error;
    EXPECT_EQ(RingFault(file), "");
    ASSERT_EQ(file.trees.size(), 2u);
    ASSERT_FALSE(file.trees[1].scope_blocks.empty());
    std::vector<uint8_t> scopes;
    ASSERT_TRUE(file.Block(file.trees[1].scope_blocks[0], &scopes)) << file.error;
    const std::string_view late = "late";
    EXPECT_NE(std::search(scopes.begin(), scopes.end(), late.begin(), late.end()), scopes.end());
    ExpectTheLastStretch(file);
}

TEST_F(SizeLimit, StopLimitKeepsTheFirstStretchAndStaysReadable) {
    ASSERT_NO_FATAL_FAILURE(OpenFiles([](txwObject *obj) { return txw_SetLifoDumpLimit(obj, 10); }));
    Steps(80000);
    // A tree begun after the stop is still stored: the file stays readable.
    for (txwObject *obj : Writers()) ASSERT_NO_FATAL_FAILURE(DeclareLateTree(obj));
    Steps(1000);
    const uint32_t end = stream_.time();
    ASSERT_NO_FATAL_FAILURE(CloseFiles());

    const uint64_t size = std::filesystem::file_size(path_);
    EXPECT_GT(size, 10 * kMB - 0x80000);
    EXPECT_LT(size, 12 * kMB) << "one session at most passes the stop position";
    Reading file(path_);
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    ASSERT_GT(traxr_SessionCount(file.reader), 0u);
    traxrSession last{};
    ASSERT_EQ(traxr_GetSession(file.reader, traxr_SessionCount(file.reader) - 1, &last), TRAXR_OK);
    EXPECT_LT(last.end_time, end / 2) << "the file keeps the beginning only";
    EXPECT_EQ(file.Names(ChangeStream::kVars + 1), std::vector<std::string>{"late.s"});

    traxrWalk *walk = nullptr;
    ASSERT_EQ(traxr_OpenWalk(file.reader, nullptr, 0, last.end_time + 1, UINT64_MAX, &walk), TRAXR_OK);
    uint32_t idcode = 0;
    traxrChange change{};
    EXPECT_EQ(traxr_WalkNext(walk, &idcode, &change), TRAXR_END) << "nothing after the last session";
    traxr_CloseWalk(walk);

    // The session that passed the stop may end inside a time step: the
    // steps before its end are whole.
    std::string error;
    const auto got = WholeFileSteps(path_, 0, last.end_time - 1, &error);
    ASSERT_EQ(error, "");
    const auto expected = WholeFileSteps(WholePath(), 0, last.end_time - 1, &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(FirstDifference(got, expected), "");
}

}  // namespace
}  // namespace tavri::test
