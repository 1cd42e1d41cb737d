// trax recover on the files a writer leaves when it dies: copies of a live
// writer's file set taken between its flushes, and the mixtures of two such
// copies that a writer killed inside a flush leaves.
#include <filesystem>

#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

namespace fs = std::filesystem;

const char *const kFileSet[] = {"", ".tlist", ".slist", ".chain", ".chain.new", ".str", ".lock"};

void CopyFileSet(const std::string &from, const std::string &to) {
    for (const char *suffix : kFileSet) {
        fs::remove(to + suffix);
        if (fs::exists(from + suffix)) fs::copy_file(from + suffix, to + suffix);
    }
}

// A scalar, a byte-wide vector and a string, one session per call, each
// with a dump-off stretch in session 1 and its step closed by a later time
// tag (so the live reader hides nothing of it).
class Design {
  public:
    explicit Design(const std::string &path) {
        obj_ = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
        EXPECT_NE(obj_, nullptr);
        EXPECT_TRUE(txw_BeginTree(obj_));
        Scope(obj_, "top");
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj_, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj_, 4, 2, 0, 7, 0, 2, "bus", 0), 2);
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj_, 63, 0, 0, 0, 0, 3, "msg", 2), 3);
        EXPECT_EQ(txw_EndTree(obj_), 0);
    }

    void Session() {
        const uint32_t t = 10 * sessions_;
        txw_CreateXCoor(obj_, 0, t);
        const uint8_t bit = sessions_ & 1;
        txw_CreateVarValueByIdcode(obj_, 1, &bit, 1);
        uint8_t bits[8];
        for (int i = 0; i < 8; ++i) bits[i] = (sessions_ >> (7 - i)) & 1;
        txw_CreateVarValueByIdcode(obj_, 2, bits, 8);
        const std::string text = "session " + std::to_string(sessions_);
        txwCreateStrValByVarIdcode(obj_, 3, text.c_str(), nullptr);
        if (sessions_ == 1) {
            txw_CreateXCoor(obj_, 0, t + 2);
            txw_DumpOff(obj_);
            txw_CreateXCoor(obj_, 0, t + 4);
            txw_DumpOn(obj_);
        }
        txw_CreateXCoor(obj_, 0, t + 5);
        EXPECT_EQ(txw_Flush(obj_), 0);
        ++sessions_;
    }

    void Close() { EXPECT_EQ(txw_CloseFile(obj_), 0); }
    txwObject *writer() const { return obj_; }

  private:
    txwObject *obj_ = nullptr;
    uint32_t sessions_ = 0;
};

class Recover : public ToolTest {
  protected:
    // The finished file of an uninterrupted run of `sessions` sessions.
    std::string Reference(uint32_t sessions) {
        const std::string path = PathFor("reference" + std::to_string(sessions) + ".trax");
        if (!fs::exists(path)) {
            Design design(path);
            for (uint32_t i = 0; i < sessions; ++i) design.Session();
            design.Close();
        }
        return path;
    }

    // Snapshots of a live writer's file set after 0 .. `count` sessions.
    std::vector<std::string> Snapshots(uint32_t count) {
        const std::string live = PathFor("live.trax");
        std::vector<std::string> snapshots;
        Design design(live);
        for (uint32_t n = 0;; ++n) {
            snapshots.push_back(PathFor("after" + std::to_string(n) + ".trax"));
            CopyFileSet(live, snapshots.back());
            if (n == count) break;
            design.Session();
        }
        design.Close();
        return snapshots;
    }

    // Recovers `dead` and expects a file that passes the checks and holds
    // what the reference of `sessions` sessions holds.
    void ExpectRecovered(const std::string &dead, uint32_t sessions, const std::string &kept,
                         bool torn) {
        std::vector<std::vector<uint8_t>> before;
        for (const char *suffix : kFileSet) {
            before.push_back(fs::exists(dead + suffix) ? ReadBytes(dead + suffix) : std::vector<uint8_t>{});
        }
        const std::string out = dead.substr(0, dead.size() - 5) + ".recovered.trax";
        const Outcome run = Trax({"recover", dead});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        std::vector<std::string> lines = {dead + ": kept " + kept};
        if (torn) lines.push_back(dead + ": left out the session its writer had not finished flushing");
        lines.push_back(out + ": written, finished; " + dead + " and its side files are unchanged");
        EXPECT_EQ(run.OutLines(), lines);
        EXPECT_EQ(Trax({"check", out}).OutLines(), (std::vector<std::string>{out + ": ok"}));
        const std::string reference = Reference(sessions);
        const Outcome got = Trax({"dump", out});
        const Outcome want = Trax({"dump", reference});
        ASSERT_EQ(want.status, 0) << want.err;
        EXPECT_EQ(got.OutLines(), want.OutLines());
        EXPECT_FALSE(fs::exists(out + ".part"));
        size_t i = 0;
        for (const char *suffix : kFileSet) {
            const std::vector<uint8_t> now =
                fs::exists(dead + suffix) ? ReadBytes(dead + suffix) : std::vector<uint8_t>{};
            EXPECT_EQ(now, before[i++]) << "the damaged file set changed: " << suffix;
        }
    }
};

// A writer killed between flushes: every committed session comes back.
TEST_F(Recover, KeepsEveryCommittedSession) {
    const std::vector<std::string> snapshots = Snapshots(4);
    struct Case {
        uint32_t sessions;
        std::string kept;
    };
    for (const Case &c : std::vector<Case>{{0, "0 complete sessions"},
                                           {1, "1 complete session, times 0 to 5"},
                                           {4, "4 complete sessions, times 0 to 35"}}) {
        SCOPED_TRACE(c.sessions);
        ExpectRecovered(snapshots[c.sessions], c.sessions, c.kept, false);
    }
}

// A writer killed inside the flush of session 3: before the header names the
// session it is left out; once the header names it, it is kept, with the
// chain table the writer had not yet put in place.
TEST_F(Recover, ATornFlushKeepsWhatTheHeaderCommitted) {
    const std::vector<std::string> snapshots = Snapshots(3);
    const std::string &before = snapshots[2];
    const std::string &after = snapshots[3];
    constexpr size_t kStatistics = 312, kStatisticsEnd = 512;

    // Session 3's blocks, record, strings and new chain table written; the
    // header still that of session 2.
    const std::string unnamed = PathFor("unnamed.trax");
    CopyFileSet(after, unnamed);
    fs::copy_file(before + ".chain", unnamed + ".chain", fs::copy_options::overwrite_existing);
    fs::copy_file(after + ".chain", unnamed + ".chain.new");
    std::vector<uint8_t> main = ReadBytes(unnamed);
    const std::vector<uint8_t> old = ReadBytes(before);
    std::copy(old.begin() + kStatistics, old.begin() + kStatisticsEnd, main.begin() + kStatistics);
    WriteBytes(unnamed, main);
    ExpectRecovered(unnamed, 2, "2 complete sessions, times 0 to 15", true);

    // The header rewritten; killed before the new chain table replaced the
    // old one.
    const std::string named = PathFor("named.trax");
    CopyFileSet(after, named);
    fs::copy_file(before + ".chain", named + ".chain", fs::copy_options::overwrite_existing);
    fs::copy_file(after + ".chain", named + ".chain.new");
    ExpectRecovered(named, 3, "3 complete sessions, times 0 to 25", false);

    // Killed while session 3's first blocks and record were being written:
    // a half block at the end of the file, half a session record.
    const std::string half = PathFor("half.trax");
    CopyFileSet(before, half);
    main = ReadBytes(half);
    main.insert(main.end(), 3000, 0x5A);
    WriteBytes(half, main);
    std::vector<uint8_t> slist = ReadBytes(half + ".slist");
    slist.insert(slist.end(), {0x0F, 0, 0, 0, 0, 0x19});
    WriteBytes(half + ".slist", slist);
    ExpectRecovered(half, 2, "2 complete sessions, times 0 to 15", true);
}

// A tree ended after the last flush is in the header's counts but not in the
// chain table: the recovered file gives its variables empty chains.
TEST_F(Recover, ATreeEndedAfterTheLastFlush) {
    const std::string live = PathFor("trees.trax");
    Design design(live);
    design.Session();
    design.Session();
    txwObject *obj = design.writer();
    EXPECT_TRUE(txw_BeginTree(obj));
    Scope(obj, "late");
    EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 4, "t", 0), 4);
    EXPECT_EQ(txw_EndTree(obj), 0);
    const std::string dead = PathFor("trees-dead.trax");
    CopyFileSet(live, dead);
    design.Close();
    ExpectRecovered(dead, 2, "2 complete sessions, times 0 to 15", false);
    const Outcome tree = Trax({"tree", PathFor("trees-dead.recovered.trax")});
    EXPECT_TRUE(Contains(tree.OutLines(), "var late/t wire 1 none idcode 4")) << tree.out;
}

// Recover writes a new file and nothing else: it leaves a file alone that a
// writer still has open, that is finished, or whose output would replace a
// file.
TEST_F(Recover, RefusesWhatItMustNotTouch) {
    const std::string live = PathFor("open.trax");
    Design design(live);
    design.Session();
    const std::string dead = PathFor("dead.trax");
    CopyFileSet(live, dead);
    const std::string taken = PathFor("taken.trax");
    WriteBytes(taken, {1, 2, 3});
    struct Case {
        std::vector<std::string> args;
        std::string error;
        std::string absent;
    };
    const std::vector<Case> cases = {
        {{"recover", live},
         "a running writer still holds " + live + "; it finishes the file when it closes it",
         PathFor("open.recovered.trax")},
        {{"recover", dead, "-o", taken}, taken + " exists already; recover never writes over a file", ""},
        {{"recover", dead, "-o", dead},
         "the recovered file must not replace " + dead + ": give another output name", ""},
        {{"recover", Reference(1)}, Reference(1) + " is finished; there is nothing to recover",
         PathFor("reference1.recovered.trax")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[1]);
        const Outcome run = Trax(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.ErrLines(), (std::vector<std::string>{"trax: " + c.error}));
        EXPECT_TRUE(run.out.empty()) << run.out;
        if (!c.absent.empty()) {
            EXPECT_FALSE(fs::exists(c.absent));
        }
    }
    EXPECT_EQ(ReadBytes(taken), (std::vector<uint8_t>{1, 2, 3}));
    design.Close();
}

}  // namespace
}  // namespace tavri::tool_test
