#include "writer/lock.h"

#include <cerrno>
#include <chrono>

#include "platform/file_lock.h"
#include "platform/stop_signals.h"
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

constexpr unsigned kPollMs = 20;
constexpr auto kQuietWait = std::chrono::seconds(3);

// Takes the first byte if it is free and no reader waits for it at the
// turnstile: 1 taken, 0 not now, -1 error.
int TryEnter(txwObject *obj) {
    const int turnstile = platform::TryTakeTurnstile(obj->lock_file);
    if (turnstile != 1) {
        return turnstile;
    }
    platform::LeaveTurnstile(obj->lock_file);
    return platform::TryLockFirstByte(obj->lock_file);
}

// Takes the lock, waiting while a reader (or anyone who can open the lock
// file) holds it. The wait has no limit, since the data must not be given
// up, but it is not silent: after a few seconds it says once what it waits
// for. A stop signal (SIGINT, SIGTERM) ends the wait and is passed on to the
// simulator, which then stops as asked; from then on the writer takes the
// lock when it is free and writes without it when it is not, so that the
// rest of the run (its close included) cannot hang on it again. A lock not
// taken that way fails with ECANCELED.
int WaitForLock(txwObject *obj) {
    const int taken = TryEnter(obj);
    if (taken != 0) {
        return taken == 1 ? 0 : -1;
    }
    if (obj->lock_wait_stopped) {
        errno = ECANCELED;
        return -1;
    }
    const platform::StopSignalWatch watch(true);
    const auto start = std::chrono::steady_clock::now();
    bool told = false;
    for (;;) {
        if (!watch.Sleep(kPollMs)) {
            Warn("Stopped waiting for the lock file %s on a stop signal; while another process holds it, the data "
                 "is written without it.\n",
                 obj->lock_file_name.c_str());
            obj->lock_wait_stopped = true;
            errno = ECANCELED;
            return -1;
        }
        const int again = TryEnter(obj);
        if (again != 0) {
            return again == 1 ? 0 : -1;
        }
        if (!told && std::chrono::steady_clock::now() - start >= kQuietWait) {
            told = true;
            const int holder = platform::FirstByteHolder(obj->lock_file);
            if (holder > 0) {
                Warn("Waiting for the lock file %s, which process %d holds.\n", obj->lock_file_name.c_str(), holder);
            } else {
                Warn("Waiting for the lock file %s, which another process holds.\n", obj->lock_file_name.c_str());
            }
        }
    }
}

int ByteRangeLock(txwObject *obj, int mode) {
    return mode == kLockMode ? WaitForLock(obj) : platform::UnlockFirstByte(obj->lock_file);
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
        if (error_number == ECANCELED) {
            return false;  // the wait was stopped and has said so
        }
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
