// Writes that fail part way, as they do on a full disk. Giving up (the
// process ends where the write failed) must leave a file whose committed
// sessions read back whole: the header and the side files never name a
// session that was only half written. Trying again once there is room must
// end in a complete file.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/file_io.h"
#include "roundtrip_util.h"

namespace tavri::test {
namespace {

constexpr int kGaveUp = 42;

// The write fault: after `g_writes_left` more writes, one write stores only
// half of its bytes and every write after it fails with ENOSPC, until the
// fault is lifted.
int g_writes_left = -1;  // -1: no fault
bool g_short_written = false;
int g_faults = 0;

long FaultyWrite(platform::FileHandle file, const void *data, size_t length) {
    if (g_writes_left > 0) {
        --g_writes_left;
    } else if (g_writes_left == 0) {
        if (!g_short_written && length > 1) {
            g_short_written = true;
            return static_cast<long>(::write(file, data, length / 2));
        }
        ++g_faults;
        errno = ENOSPC;
        return -1;
    }
    return static_cast<long>(::write(file, data, length));
}

void Arm(int writes_left) {
    g_writes_left = writes_left;
    g_short_written = false;
    g_faults = 0;
}

void GiveUp(int /*error_number*/) { _exit(kGaveUp); }
void MakeRoomAndRetry(int /*error_number*/) { g_writes_left = -1; }

class WriteFault : public RoundTripTest {
  protected:
    void TearDown() override {
        platform::SetWriteFunction(nullptr);
        txw_RegisterWriteErrorCB(nullptr);
        RoundTripTest::TearDown();
    }

    // Three sessions of a scalar, a bus and a string: the first flushed
    // before the fault is armed, the third written by the close.
    void Run(int writes_left) {
        txwObject *obj = Open();
        ASSERT_NE(obj, nullptr);
        ASSERT_TRUE(txw_BeginTree(obj));
        Scope(obj, "top");
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 7, 0, 2, "b", 0), 2);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 63, 0, 0, 0, 0, 3, "m", 2), 3);
        ASSERT_EQ(txw_EndTree(obj), 0);
        for (int session = 0; session < 3; ++session) {
            if (session == 1) {
                Arm(writes_left);
            }
            for (int step = 0; step < 2; ++step) {
                const int time = 10 * session + step + 1;
                txw_CreateXCoor(obj, 0, static_cast<uint32_t>(time));
                Scalar(obj, 1, static_cast<uint8_t>(time & 1));
                Bus(obj, 2, Bits(time));
                txwCreateStrValByVarIdcode(obj, 3, Text(time).c_str(), nullptr);
            }
            if (session < 2) {
                ASSERT_EQ(txw_Flush(obj), 0);
            }
        }
        ASSERT_EQ(txw_CloseFile(obj), 0);
        completed_ = true;
    }

    static std::string Bits(int time) {
        std::string bits;
        for (int bit = 7; bit >= 0; --bit) {
            bits += "01"[(time >> bit) & 1];
        }
        return bits;
    }
    static std::string Text(int time) { return "t" + std::to_string(time); }

    bool completed_ = false;

    // The changes of the first `sessions` sessions.
    static std::vector<std::vector<Seen>> Expected(int sessions) {
        std::vector<std::vector<Seen>> expected(3);
        for (int session = 0; session < sessions; ++session) {
            for (int step = 0; step < 2; ++step) {
                const int time = 10 * session + step + 1;
                expected[0].push_back(At(time, std::string(1, "01"[time & 1])));
                expected[1].push_back(At(time, Bits(time)));
                expected[2].push_back(TextAt(time, Text(time)));
            }
        }
        return expected;
    }

    // Reads the file and returns how many whole sessions it holds, or none
    // when it cannot be read or holds anything else. A reader may keep the
    // last time step of a live file back (its last session could have ended
    // inside that step): the changes before it must all be there.
    std::optional<int> ReadableSessions() {
        Reading file(path_);
        if (file.status != TRAXR_OK) {
            ADD_FAILURE() << file.message;
            return std::nullopt;
        }
        const int sessions = static_cast<int>(file.Header().session_count);
        const bool live = file.Header().file_status != 0;
        const std::vector<std::vector<Seen>> expected = Expected(sessions);
        for (uint32_t idcode = 1; idcode <= 3; ++idcode) {
            const std::vector<Seen> &whole = expected[idcode - 1];
            const std::vector<Seen> seen = file.Changes(idcode);
            const bool last_step_kept_back = live && seen.size() + 1 == whole.size() &&
                                             std::equal(seen.begin(), seen.end(), whole.begin());
            if (seen != whole && !last_step_kept_back) {
                ADD_FAILURE() << "idcode " << idcode << " after " << sessions << " sessions: "
                              << ::testing::PrintToString(seen);
                return std::nullopt;
            }
        }
        return sessions;
    }
};

// Every write after the first session in turn is the one that meets the full
// disk, and the answer is to give up.
TEST_F(WriteFault, GivingUpKeepsTheCommittedSessionsReadable) {
    platform::SetWriteFunction(FaultyWrite);
    txw_RegisterWriteErrorCB(GiveUp);
    int faults = 0;
    for (int writes_left = 0;; ++writes_left) {
        SCOPED_TRACE("the fault after " + std::to_string(writes_left) + " writes");
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Run(writes_left);
            _exit(completed_ ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 0) {
            break;  // no write was left to fail
        }
        ASSERT_EQ(WEXITSTATUS(status), kGaveUp);
        ++faults;
        const std::optional<int> sessions = ReadableSessions();
        ASSERT_TRUE(sessions.has_value());
        EXPECT_GE(*sessions, 1) << "the session flushed before the fault";
        EXPECT_LE(*sessions, 3);
    }
    EXPECT_GT(faults, 10) << "the faults met the writes of a flush and of the close";
}

TEST_F(WriteFault, RetryingOnceThereIsRoomCompletesTheFile) {
    platform::SetWriteFunction(FaultyWrite);
    txw_RegisterWriteErrorCB(MakeRoomAndRetry);
    for (int writes_left = 0;; ++writes_left) {
        SCOPED_TRACE("the fault after " + std::to_string(writes_left) + " writes");
        Run(writes_left);
        const int faults = g_faults;
        const bool finished = Reading(path_).Header().file_status == 0;
        EXPECT_TRUE(finished);
        EXPECT_EQ(ReadableSessions(), std::optional<int>(3));
        if (faults == 0 || HasFailure()) {
            break;
        }
    }
}

}  // namespace
}  // namespace tavri::test
