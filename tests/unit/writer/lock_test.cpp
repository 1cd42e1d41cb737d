// The synchronous-control lock inside one writer: nesting, locking off, and
// a lock function that fails.
#include <cerrno>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/lock.h"
#include "writer/object.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

int g_lock_calls = 0;
int g_unlock_calls = 0;
int g_failures_left = 0;
int g_failure_errno = 0;

int CountingLock(txwObject * /*obj*/, int mode) {
    if (g_failures_left > 0) {
        --g_failures_left;
        errno = g_failure_errno;
        return -1;
    }
    ++(mode == 1 ? g_lock_calls : g_unlock_calls);
    return 0;
}

class WriterLockTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        obj_ = txw_OpenFile(Path("l.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
        real_lock_ = obj_->lock_function;
        obj_->lock_function = CountingLock;
        g_lock_calls = g_unlock_calls = g_failures_left = 0;
    }
    void TearDown() override {
        obj_->lock_function = real_lock_;
        txw_CloseFile(obj_);
        WriterTest::TearDown();
    }
    txwObject *obj_ = nullptr;
    int (*real_lock_)(txwObject *, int) = nullptr;
};

TEST_F(WriterLockTest, NestedLocksTouchTheLockFileOnce) {
    EXPECT_FALSE(HoldsLock(obj_));
    const int outer = Lock(obj_);
    EXPECT_TRUE(HoldsLock(obj_));
    const int inner = Lock(obj_);
    EXPECT_EQ(obj_->lock_counter, -1);
    Unlock(obj_, inner);
    EXPECT_TRUE(HoldsLock(obj_));
    Unlock(obj_, outer);
    EXPECT_FALSE(HoldsLock(obj_));
    EXPECT_EQ(g_lock_calls, 1);
    EXPECT_EQ(g_unlock_calls, 1);
}

TEST_F(WriterLockTest, FlushLocksOnceAroundItsHeaderWrites) {
    ASSERT_EQ(txw_Flush(obj_), 0);
    EXPECT_EQ(g_lock_calls, 1);
    EXPECT_EQ(g_unlock_calls, 1);
    ASSERT_EQ(txw_SetScaleUnit(obj_, "1ps"), 0);
    EXPECT_EQ(g_lock_calls, 2);
}

TEST_F(WriterLockTest, InterruptedCallsAreRetried) {
    g_failures_left = 3;
    g_failure_errno = EINTR;
    const int saved = Lock(obj_);
    EXPECT_TRUE(HoldsLock(obj_));
    EXPECT_EQ(g_lock_calls, 1);
    Unlock(obj_, saved);
    EXPECT_TRUE(CapturedWarnings().empty());
}

TEST_F(WriterLockTest, OtherErrorsAreReportedAndTheMatchingUnlockDoesNothing) {
    g_failures_left = 1;
    g_failure_errno = ENOLCK;
    const int saved = Lock(obj_);
    EXPECT_FALSE(HoldsLock(obj_));
    ASSERT_EQ(CapturedWarnings().size(), 1u);
    EXPECT_EQ(CapturedWarnings()[0].rfind("SyncControl_Lock(): failed, fd:", 0), 0u);
    Unlock(obj_, saved);  // must neither abort nor unlock
    EXPECT_EQ(g_unlock_calls, 0);
    EXPECT_EQ(obj_->lock_counter, 1);
}

TEST_F(WriterLockTest, SixInterruptionsInARowGiveUp) {
    g_failures_left = 6;
    g_failure_errno = EINTR;
    const int saved = Lock(obj_);
    EXPECT_FALSE(HoldsLock(obj_));
    EXPECT_EQ(g_failures_left, 0);
    Unlock(obj_, saved);
}

TEST_F(WriterLockTest, LockingOffMakesLockAndUnlockDoNothing) {
    obj_->header.SetU8(kHdrSyncControl, 0);
    const int saved = Lock(obj_);
    EXPECT_TRUE(HoldsLock(obj_));
    Unlock(obj_, saved);
    EXPECT_EQ(g_lock_calls, 0);
    EXPECT_EQ(g_unlock_calls, 0);
    obj_->header.SetU8(kHdrSyncControl, 1);
}

}  // namespace
}  // namespace tavri::test
