// The lock between processes: a flush waits while another process holds the
// lock file's lock, and a reader in another process waits while the writer
// holds it.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/file_lock.h"
#include "roundtrip_util.h"
#include "writer/lock.h"

namespace tavri::test {
namespace {

class LockBetweenProcesses : public RoundTripTest {
  protected:
    txwObject *OpenWithVariable() {
        txwObject *obj = Open();
        EXPECT_TRUE(txw_BeginTree(obj));
        Scope(obj, "top");
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        EXPECT_EQ(txw_EndTree(obj), 0);
        txw_CreateXCoor(obj, 0, 1);
        Scalar(obj, 1, 1);
        return obj;
    }
};

TEST_F(LockBetweenProcesses, FlushWaitsForAnotherProcessHoldingTheLock) {
    txwObject *obj = OpenWithVariable();
    int locked[2];
    int release[2];
    ASSERT_EQ(pipe(locked), 0);
    ASSERT_EQ(pipe(release), 0);
    const std::string lock_path = path_ + ".lock";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int file = platform::OpenForReadWrite(lock_path.c_str());
        if (file < 0 || platform::LockFirstByte(file) != 0) {
            _exit(2);
        }
        char byte = 'L';
        if (write(locked[1], &byte, 1) != 1 || read(release[0], &byte, 1) != 1) {
            _exit(3);
        }
        platform::UnlockFirstByte(file);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(locked[0], &byte, 1), 1) << "the other process holds the lock";

    std::atomic<bool> flushed{false};
    std::thread flusher([&] {
        txw_Flush(obj);
        flushed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(flushed) << "the flush must wait for the lock";
    ASSERT_EQ(write(release[1], &byte, 1), 1);
    flusher.join();
    EXPECT_TRUE(flushed);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Reading(path_).Header().session_count, 1u);
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(LockBetweenProcesses, ReaderInAnotherProcessWaitsForTheWriter) {
    txwObject *obj = OpenWithVariable();
    ASSERT_EQ(txw_Flush(obj), 0);
    const int saved = writer::Lock(obj);
    ASSERT_TRUE(writer::HoldsLock(obj));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        traxrReader *reader = nullptr;
        char message[256];
        const traxrStatus status = traxr_Open(path_.c_str(), &reader, message, sizeof message);
        const bool seen = status == TRAXR_OK && traxr_GetHeader(reader)->session_count == 1;
        traxr_Close(reader);
        _exit(seen ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "the reader must wait while the writer holds the lock";
    writer::Unlock(obj, saved);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the reader saw the flushed session";
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::test
