#include "platform/writer_presence.h"

// The Windows side; the POSIX side is in writer_presence.cpp. Windows locks
// are mandatory (a locked byte cannot be read through another handle) and
// belong to the open handle, so the mark is a lock on a byte far beyond any
// database's end: it keeps nobody from reading the file, conflicts with a
// second writer in this or another process, and goes when the writer's
// handle is closed or its process ends.
#ifdef _WIN32

#include <io.h>

#include <cerrno>

#include "platform/win32_error.h"

namespace tavri::platform {
namespace {

constexpr DWORD kMarkLow = 0xFFFFFFF0u;
constexpr DWORD kMarkHigh = 0x7FFFFFFFu;

// 0, or -1 with errno (EACCES: the mark is held through another handle).
int LockMark(FileHandle file, DWORD flags) {
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at {};
    at.Offset = kMarkLow;
    at.OffsetHigh = kMarkHigh;
    return ::LockFileEx(handle, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) ? 0 : FailWithLastError();
}

void UnlockMark(FileHandle file) {
    OVERLAPPED at {};
    at.Offset = kMarkLow;
    at.OffsetHigh = kMarkHigh;
    ::UnlockFileEx(reinterpret_cast<HANDLE>(::_get_osfhandle(file)), 0, 1, 0, &at);
}

}  // namespace

int TakeWriterMark(FileHandle database) {
    if (LockMark(database, LOCKFILE_EXCLUSIVE_LOCK) == 0) {
        return 1;
    }
    return errno == EACCES ? 0 : -1;
}

bool HasLiveWriter(const char *path) {
    const FileHandle file = OpenForReading(path);
    if (file == kNoFile) {
        return false;
    }
    bool held = false;
    if (LockMark(file, 0) == 0) {
        UnlockMark(file);
    } else {
        held = errno == EACCES;
    }
    Close(file);
    return held;
}

int RemoveUnlessWritten(const char *path) {
    const FileHandle file = OpenForReading(path);
    if (file == kNoFile) {
        if (errno == ENOENT) {
            return 1;
        }
        return Remove(path) == 0 ? 1 : -1;  // unreadable: nobody's mark can be seen
    }
    // A shared lock, held across the removal, keeps a writer from marking
    // the file between the test and the removal; the file is opened with
    // deletion shared, so it can be removed while open.
    if (LockMark(file, 0) != 0) {
        const int error_number = errno;
        Close(file);
        if (error_number == EACCES) {
            return 0;
        }
        return Remove(path) == 0 ? 1 : -1;
    }
    const int removed = Remove(path) == 0 || errno == ENOENT ? 1 : -1;
    UnlockMark(file);
    Close(file);
    return removed;
}

}  // namespace tavri::platform

#endif  // _WIN32
