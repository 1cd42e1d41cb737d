#include "platform/file_lock.h"

// The Windows side; the POSIX side is in file_lock.cpp. Byte-range locks on
// Windows belong to the open handle, not to the process, and the system
// takes them away when the handle is closed or the process ends.
#ifdef _WIN32

#include <io.h>

#include <cerrno>

#include "platform/win32_error.h"

namespace tavri::platform {
namespace {

constexpr DWORD kFirstByte = 0;
constexpr DWORD kTurnstileByte = 1;

// 0, or -1 with errno; a lock held elsewhere is EACCES, as fcntl reports it.
int LockByte(FileHandle file, DWORD byte, DWORD flags) {
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at {};
    at.Offset = byte;
    return ::LockFileEx(handle, flags, 0, 1, 0, &at) ? 0 : FailWithLastError();
}

int UnlockByte(FileHandle file, DWORD byte) {
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at {};
    at.Offset = byte;
    return ::UnlockFileEx(handle, 0, 1, 0, &at) ? 0 : FailWithLastError();
}

// 1 taken, 0 held elsewhere, -1 error.
int TryLockByte(FileHandle file, DWORD byte) {
    if (LockByte(file, byte, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY) == 0) {
        return 1;
    }
    return errno == EACCES ? 0 : -1;
}

}  // namespace

int LockFirstByte(FileHandle file) { return LockByte(file, kFirstByte, LOCKFILE_EXCLUSIVE_LOCK); }

int UnlockFirstByte(FileHandle file) { return UnlockByte(file, kFirstByte); }

int TryLockFirstByte(FileHandle file) { return TryLockByte(file, kFirstByte); }

int TryTakeTurnstile(FileHandle file) { return TryLockByte(file, kTurnstileByte); }

int LeaveTurnstile(FileHandle file) { return UnlockByte(file, kTurnstileByte); }

// Windows does not tell who holds a lock: a held byte has an unknown holder.
int FirstByteHolder(FileHandle file) {
    const int taken = TryLockFirstByte(file);
    if (taken == 1) {
        UnlockFirstByte(file);
        return 0;
    }
    return -1;
}

void SleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace tavri::platform

#endif  // _WIN32
