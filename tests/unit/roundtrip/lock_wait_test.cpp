// A flush that waits for the lock file's lock, held by another process: it
// says once, after a few seconds, what it waits for and who holds it, then
// goes on when the lock comes free; a stop signal ends the wait and reaches
// the handler that was there before.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/file_lock.h"
#include "roundtrip_util.h"

namespace tavri::test {
namespace {

std::vector<std::string> g_warnings;
void KeepWarning(const char *text) { g_warnings.emplace_back(text); }

volatile sig_atomic_t g_terminations = 0;
void CountTermination(int /*signal_number*/) { g_terminations = g_terminations + 1; }

class LockWait : public RoundTripTest {
  protected:
    void SetUp() override {
        RoundTripTest::SetUp();
        g_warnings.clear();
        txw_SetMessageHooks(KeepWarning, nullptr, nullptr);
        obj_ = Open();
        ASSERT_NE(obj_, nullptr);
        ASSERT_TRUE(txw_BeginTree(obj_));
        Scope(obj_, "top");
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj_, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        ASSERT_EQ(txw_EndTree(obj_), 0);
        txw_CreateXCoor(obj_, 0, 1);
        Scalar(obj_, 1, 1);
        HoldTheLockElsewhere();
    }
    void TearDown() override {
        Release();
        if (obj_ != nullptr) {
            EXPECT_EQ(txw_CloseFile(obj_), 0);
        }
        txw_SetMessageHooks(nullptr, nullptr, nullptr);
        RoundTripTest::TearDown();
    }

    // Another process takes byte 0 of the lock file and keeps it until
    // released.
    void HoldTheLockElsewhere() {
        int locked[2];
        ASSERT_EQ(pipe(locked), 0);
        ASSERT_EQ(pipe(release_), 0);
        holder_ = fork();
        ASSERT_GE(holder_, 0);
        if (holder_ == 0) {
            close(release_[1]);  // a parent that ends releases the lock too
            const int file = platform::OpenForReadWrite((path_ + ".lock").c_str());
            char byte = 'L';
            if (file < 0 || platform::LockFirstByte(file) != 0 || write(locked[1], &byte, 1) != 1 ||
                read(release_[0], &byte, 1) != 1) {
                _exit(2);
            }
            _exit(0);
        }
        char byte = 0;
        ASSERT_EQ(read(locked[0], &byte, 1), 1);
    }
    void Release() {
        if (holder_ <= 0) {
            return;
        }
        const char byte = 'R';
        EXPECT_EQ(write(release_[1], &byte, 1), 1);
        int status = 0;
        EXPECT_EQ(waitpid(holder_, &status, 0), holder_);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        holder_ = 0;
    }

    size_t WarningsStartingWith(const std::string &start) const {
        size_t count = 0;
        for (const std::string &warning : g_warnings) {
            count += warning.rfind(start, 0) == 0 ? 1 : 0;
        }
        return count;
    }

    txwObject *obj_ = nullptr;
    pid_t holder_ = 0;
    int release_[2] = {-1, -1};
};

TEST_F(LockWait, ALongWaitIsToldOnceAndTheFlushCompletesOnRelease) {
    std::atomic<bool> flushed{false};
    std::thread flusher([&] {
        txw_Flush(obj_);
        flushed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(g_warnings.empty()) << "a short wait says nothing";
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_FALSE(flushed) << "the flush waits for the lock";
    const std::string told =
        "Waiting for the lock file " + path_ + ".lock, which process " + std::to_string(holder_) + " holds.\n";
    EXPECT_EQ(g_warnings, std::vector<std::string>{told});
    Release();
    flusher.join();
    EXPECT_TRUE(flushed);
    EXPECT_EQ(g_warnings.size(), 1u) << "told once";
    EXPECT_EQ(Reading(path_).Header().session_count, 1u);
}

TEST_F(LockWait, AStopSignalEndsTheWaitAndReachesThePreviousHandler) {
    struct sigaction counting {};
    counting.sa_handler = CountTermination;
    sigemptyset(&counting.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGTERM, &counting, &previous), 0);
    g_terminations = 0;
    std::atomic<bool> flushed{false};
    std::thread flusher([&] {
        txw_Flush(obj_);
        flushed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(flushed);
    ASSERT_EQ(kill(getpid(), SIGTERM), 0);
    for (int i = 0; i < 100 && !flushed; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(flushed) << "the flush went on without the lock";
    Release();  // lets a flush that still waits end
    flusher.join();
    EXPECT_EQ(g_terminations, 1) << "the signal reached the handler that was there before";
    EXPECT_EQ(WarningsStartingWith("Stopped waiting for the lock file " + path_ + ".lock"), 1u);
    sigaction(SIGTERM, &previous, nullptr);
    EXPECT_EQ(Reading(path_).Header().session_count, 1u) << "the data was written";
}

}  // namespace
}  // namespace tavri::test
