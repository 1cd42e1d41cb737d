#include "reader/lock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/file_lock.h"

namespace tavri::reader {
namespace {

constexpr int kRetries = 6;
constexpr unsigned kRetryWaitMs = 3;

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

void ReaderLock::Lock() {
    if (counter_ == 1) {
        file_ = platform::OpenForReadWrite(path_.c_str());
        if (file_ == platform::kNoFile && errno == ENOENT) {
            // The writer makes the lock file at open and removes it at
            // close: without one no writer is there to keep out.
            failure_.clear();
        } else if (file_ == platform::kNoFile ||
                   WithRetry(platform::LockFirstByte, file_) != 0) {
            failure_ = Report("locking", file_, errno);
        }
    }
    --counter_;
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
