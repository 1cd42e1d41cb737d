#include "platform/file_lock.h"

// The POSIX side; the Windows side is in file_lock_win32.cpp.
#ifndef _WIN32

#include <fcntl.h>
#include <time.h>

#include <cerrno>

namespace tavri::platform {
namespace {

constexpr off_t kTurnstileByte = 1;

int SetLock(FileHandle file, short type, int command, off_t byte = 0) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = byte;
    range.l_len = 1;
    return ::fcntl(file, command, &range);
}

}  // namespace

int LockFirstByte(FileHandle file) { return SetLock(file, F_WRLCK, F_SETLKW); }

int UnlockFirstByte(FileHandle file) { return SetLock(file, F_UNLCK, F_SETLK); }

int TryLockFirstByte(FileHandle file) {
    if (SetLock(file, F_WRLCK, F_SETLK) == 0) {
        return 1;
    }
    return (errno == EACCES || errno == EAGAIN) ? 0 : -1;
}

int TryTakeTurnstile(FileHandle file) {
    if (SetLock(file, F_WRLCK, F_SETLK, kTurnstileByte) == 0) {
        return 1;
    }
    return (errno == EACCES || errno == EAGAIN) ? 0 : -1;
}

int LeaveTurnstile(FileHandle file) { return SetLock(file, F_UNLCK, F_SETLK, kTurnstileByte); }

int FirstByteHolder(FileHandle file) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    if (::fcntl(file, F_GETLK, &range) != 0) {
        return -1;
    }
    if (range.l_type == F_UNLCK) {
        return 0;
    }
    return range.l_pid > 0 ? static_cast<int>(range.l_pid) : -1;
}

void SleepMilliseconds(unsigned milliseconds) {
    struct timespec wait {};
    wait.tv_sec = milliseconds / 1000;
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

}  // namespace tavri::platform

#endif  // _WIN32
