#include "writer/lock.h"

#include <cerrno>

#include "platform/file_lock.h"
#include "writer/debug_log.h"
#include "writer/env_registry.h"
#include "writer/messages.h"
#include "writer/object.h"

namespace tavri::writer {
namespace {

constexpr const char *kSource = "lock";
constexpr int kLockMode = 1;
constexpr int kUnlockMode = 0;
constexpr int kMaxInterruptedRetries = 6;

int ByteRangeLock(txwObject *obj, int mode) {
    return mode == kLockMode ? platform::LockFirstByte(obj->lock_file)
                             : platform::UnlockFirstByte(obj->lock_file);
}

// No dot-lock scheme exists on this platform; choosing it makes the open fail.
int DotLock(txwObject * /*obj*/, int mode) {
    if (mode == kLockMode || mode == kUnlockMode) {
        Warn("Dotlock scheme not available on Windows platform.\n");
    } else {
        Warn("Unknown function(%d) in DotLock().\n", mode);
    }
    errno = ENOSYS;
    return -1;
}

bool Locking(const txwObject *obj) { return obj->header.U8(kHdrSyncControl) == 1; }

// Calls the lock function, retrying a call interrupted by a signal.
bool CallLockFunction(txwObject *obj, int mode) {
    for (int retry = 0;; ++retry) {
        if (obj->lock_function(obj, mode) == 0) {
            return true;
        }
        const int error_number = errno;
        if (error_number != EINTR || retry >= kMaxInterruptedRetries - 1) {
            Warn(mode == kLockMode ? "SyncControl_Lock(): failed, fd:%d, errno:%d, message:%s\n"
                                   : "SyncControl_Unlock(): failed, fd:%d, errno:%d, message:%s\n",
                 obj->lock_file, error_number, platform::ErrorText(error_number));
            return false;
        }
        DebugLog(obj, "SyncControl_lock(): failed, EINTR(%d)", retry);
        platform::SleepMilliseconds(3);
    }
}

}  // namespace

void BuildLockPaths(txwObject *obj) {
    const char *location = TXW_GETENV("TRAX_ENV_LOCK_FILE_LOC");
    if (location != nullptr) {
        obj->lock_file_name = location;
    } else {
        obj->lock_file_name = obj->file_name + ".lock";
    }
    obj->dot_lock_file_name = obj->lock_file_name + ".dot";
}

void ChooseLockScheme(txwObject *obj) {
    if (TXW_GETENV("TRAX_ENV_TAVRI_LOCK") != nullptr) {
        Warn("TRAX_ENV_TAVRI_LOCK environment variable is set.\n");
        Warn("Invoke Tavri locking scheme instead.\n");
        obj->header.SetU8(kHdrLockScheme, 1);
        obj->lock_function = DotLock;
    } else {
        obj->header.SetU8(kHdrLockScheme, 0);
        obj->lock_function = ByteRangeLock;
    }
    obj->lock_counter = 1;
}

int CreateLockFile(txwObject *obj) {
    if (obj->lock_file >= 3) {
        return 0;
    }
    const unsigned previous_mask = platform::SetCreationMask(0);
    obj->lock_file = platform::CreateFile(obj->lock_file_name.c_str());
    platform::SetCreationMask(previous_mask);
    if (obj->lock_file < 0) {
        Warn("trax writer: Failed to open lock file(%s)\n", obj->lock_file_name.c_str());
        return TXW_CANNOT_OPEN_FILE;
    }
    return 0;
}

void RemoveLockFile(txwObject *obj) {
    if (obj->lock_file != platform::kNoFile) {
        platform::Truncate(obj->lock_file, 0);
        platform::Close(obj->lock_file);
        obj->lock_file = platform::kNoFile;
        platform::Remove(obj->lock_file_name.c_str());
    }
}

int Lock(txwObject *obj) {
    if (!Locking(obj)) {
        return obj->lock_counter;
    }
    const int saved = obj->lock_counter;
    if (obj->lock_counter == 1 && !CallLockFunction(obj, kLockMode)) {
        return kLockNotTaken;  // the counter stays; the matching unlock does nothing
    }
    --obj->lock_counter;
    return saved;
}

void Unlock(txwObject *obj, int saved) {
    if (!Locking(obj) || saved == kLockNotTaken) {
        return;
    }
    TXW_ASSERT(saved <= 1 && obj->lock_counter <= 0, kSource);
    if (obj->lock_counter == 0 && !CallLockFunction(obj, kUnlockMode)) {
        return;
    }
    ++obj->lock_counter;
}

bool HoldsLock(const txwObject *obj) { return !Locking(obj) || obj->lock_counter < 1; }

}  // namespace tavri::writer
