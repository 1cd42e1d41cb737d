#include "platform/writer_presence.h"

// The POSIX side; the Windows side is in writer_presence_win32.cpp.
#ifndef _WIN32

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tavri::platform {
namespace {

// Locks owned by the open file rather than by the process: closing another
// descriptor of the same file (a reader in the writer's process) does not
// drop them, and a second writer in the same process conflicts with them.
// Where the system has none, process-owned locks serve.
#ifdef F_OFD_SETLK
constexpr int kSet = F_OFD_SETLK;
constexpr int kGet = F_OFD_GETLK;
#else
constexpr int kSet = F_SETLK;
constexpr int kGet = F_GETLK;
#endif

struct flock FirstByte(short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    return range;
}

// Whether a writer's mark conflicts with a lock of `type` on the open file:
// 1 yes, 0 no, -1 error.
int MarkHeld(FileHandle file, short type) {
    struct flock range = FirstByte(type);
    if (::fcntl(file, kGet, &range) != 0) {
        return -1;
    }
    return range.l_type != F_UNLCK ? 1 : 0;
}

}  // namespace

int TakeWriterMark(FileHandle database) {
    struct flock range = FirstByte(F_WRLCK);
    if (::fcntl(database, kSet, &range) == 0) {
        return 1;
    }
    return (errno == EACCES || errno == EAGAIN) ? 0 : -1;
}

bool HasLiveWriter(const char *path) {
    const FileHandle file = OpenForReading(path);
    if (file == kNoFile) {
        return false;
    }
    const bool held = MarkHeld(file, F_RDLCK) == 1;
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
    // the file between the test and the removal.
    struct flock range = FirstByte(F_RDLCK);
    if (::fcntl(file, kSet, &range) != 0) {
        const int error_number = errno;
        Close(file);
        if (error_number == EACCES || error_number == EAGAIN) {
            return 0;
        }
        return Remove(path) == 0 ? 1 : -1;
    }
    const int removed = Remove(path) == 0 || errno == ENOENT ? 1 : -1;
    Close(file);
    return removed;
}

}  // namespace tavri::platform

#endif  // _WIN32
