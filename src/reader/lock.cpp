#include "reader/lock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/file_lock.h"

namespace tavri::reader {
namespace {

constexpr int kRetries = 6;
constexpr unsigned kRetryWaitMs = 3;

// A writer holds the lock only while it flushes a session or rewrites the
// header, well under a second; a lock held for this long is kept by a stuck
// process, or by anyone who can open the lock file.
constexpr double kDefaultWaitSeconds = 10;
constexpr double kLongestWaitSeconds = 1e6;
constexpr unsigned kFirstPollMs = 1;
constexpr unsigned kLongestPollMs = 50;

double WaitSeconds() {
    const char *text = std::getenv("TRAX_READER_LOCK_WAIT");
    if (text == nullptr || text[0] == '\0') {
        return kDefaultWaitSeconds;
    }
    char *end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(seconds) || seconds < 0) {
        return kDefaultWaitSeconds;
    }
    return std::min(seconds, kLongestWaitSeconds);
}

// Takes a lock with `try_lock`, polling while another process holds it,
// until `deadline`: 1 taken, 0 still held elsewhere, -1 error (errno set).
int TakeBy(int (*try_lock)(platform::FileHandle), platform::FileHandle file,
           std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    unsigned poll_ms = kFirstPollMs;
    for (;;) {
        const int taken = try_lock(file);
        if (taken != 0 && !(taken < 0 && errno == EINTR)) {
            return taken;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return 0;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        platform::SleepMilliseconds(
            static_cast<unsigned>(std::min<long long>(poll_ms, static_cast<long long>(left))));
        poll_ms = std::min(poll_ms * 2, kLongestPollMs);
    }
}

// Takes the lock for at most `seconds`: 1 taken, 0 still held elsewhere, -1
// error (errno set). While it waits it holds the turnstile, so that a writer
// that flushes again and again lets it in at the end of the current flush.
int LockWithin(platform::FileHandle file, double seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(seconds));
    const int turnstile = TakeBy(platform::TryTakeTurnstile, file, deadline);
    if (turnstile != 1) {
        return turnstile;
    }
    const int taken = TakeBy(platform::TryLockFirstByte, file, deadline);
    platform::LeaveTurnstile(file);
    return taken;
}

// Runs a lock call, retrying a call interrupted by a signal.
int WithRetry(int (*call)(platform::FileHandle), platform::FileHandle file) {
    for (int attempt = 0;; ++attempt) {
        if (call(file) == 0) {
            return 0;
        }
        if (errno != EINTR || attempt + 1 >= kRetries) {
            return -1;
        }
        platform::SleepMilliseconds(kRetryWaitMs);
    }
}

std::string Report(const char *what, platform::FileHandle file, int error) {
    char text[256];
    std::snprintf(text, sizeof text, "trax reader: %s failed. (fd %d errno %d) ", what, file,
                  error);
    std::string message = text;
    std::snprintf(text, sizeof text, "error reason: %s\n", platform::ErrorText(error));
    message += text;
    std::fputs(message.c_str(), stderr);
    return message;
}

}  // namespace

std::string LockPath(const std::string &database_path) {
    const char *location = std::getenv("TRAX_ENV_LOCK_FILE_LOC");
    if (location != nullptr && location[0] != '\0') {
        return location;
    }
    return database_path + ".lock";
}

ReaderLock::~ReaderLock() {
    while (held()) {
        Unlock();
    }
}

Status ReaderLock::Lock() {
    if (counter_ == 1) {
        file_ = platform::OpenForReadWrite(path_.c_str());
        if (file_ == platform::kNoFile && errno == ENOENT) {
            // The writer makes the lock file at open and removes it at
            // close: without one no writer is there to keep out.
            failure_.clear();
        } else if (file_ == platform::kNoFile) {
            failure_ = Report("locking", file_, errno);
        } else {
            const double seconds = WaitSeconds();
            const int taken = LockWithin(file_, seconds);
            if (taken == 0) {
                platform::Close(file_);
                file_ = platform::kNoFile;
                return Fail(TRAXR_ERR_IO,
                            "the lock file %s stayed locked by another process for %g s; gave "
                            "up waiting (a writer holds it only while it flushes; "
                            "TRAX_READER_LOCK_WAIT sets the wait in seconds)",
                            path_.c_str(), seconds);
            }
            if (taken < 0) {
                failure_ = Report("locking", file_, errno);
            }
        }
    }
    --counter_;
    return Status();
}

void ReaderLock::Unlock() {
    if (counter_ == 0) {
        if (file_ != platform::kNoFile) {
            if (WithRetry(platform::UnlockFirstByte, file_) != 0) {
                failure_ = Report("unlocking", file_, errno);
            }
            platform::Close(file_);
            file_ = platform::kNoFile;
        }
    }
    ++counter_;
}

}  // namespace tavri::reader
