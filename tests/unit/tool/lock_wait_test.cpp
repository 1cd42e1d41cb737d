// A reader of a live file waits for the lock a bounded time: a process
// that keeps the lock file's lock (any local user can) makes trax give up
// with a message naming the lock file, instead of hanging.
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_lock.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

class LockWait : public ToolTest {};

TEST_F(LockWait, AReaderGivesUpOnALockHeldElsewhereAndNamesIt) {
    const std::string path = PathFor("live.trax");
    txwObject *obj = OpenLiveScalar(path, {5});
    ASSERT_NE(obj, nullptr);

    const std::string lock_path = path + ".lock";
    int locked[2], release[2];
    ASSERT_EQ(pipe(locked), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int file = platform::OpenForReadWrite(lock_path.c_str());
        char byte = 'L';
        if (file < 0 || platform::LockFirstByte(file) != 0 || write(locked[1], &byte, 1) != 1) {
            _exit(2);
        }
        close(release[1]);
        while (read(release[0], &byte, 1) > 0) {
        }
        _exit(0);  // the lock goes with the process
    }
    close(locked[1]);
    close(release[0]);
    char byte = 0;
    ASSERT_EQ(read(locked[0], &byte, 1), 1) << "the other process holds the lock";

    const Outcome held = Trax({"check", path}, TraxOptions{{{"TRAX_READER_LOCK_WAIT", "0.5"}}, 30});
    close(release[1]);
    int status = 0;
    waitpid(holder, &status, 0);
    EXPECT_FALSE(held.timed_out) << "trax waited for the lock without end";
    EXPECT_EQ(held.status, 2);
    ASSERT_EQ(held.ErrLines().size(), 1u) << held.err;
    EXPECT_NE(held.err.find("the lock file " + lock_path + " stayed locked"), std::string::npos)
        << held.err;
    EXPECT_NE(held.err.find("gave up"), std::string::npos) << held.err;

    // Once the lock is free the same file reads.
    const Outcome freed = Trax({"dump", path}, TraxOptions{{{"TRAX_READER_LOCK_WAIT", "0.5"}}, 30});
    EXPECT_EQ(freed.status, 0) << freed.err;
    EXPECT_EQ(freed.OutLines(), (std::vector<std::string>{"5 top/s 1"}));
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::tool_test
