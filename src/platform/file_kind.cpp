#include "platform/file_kind.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace tavri::platform {

// The POSIX side; the Windows side is in file_kind_win32.cpp.
#ifndef _WIN32

FileHandle OpenForReadingNoWait(const char *path) {
    const FileHandle file = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file >= 0) {
        const int flags = ::fcntl(file, F_GETFL);
        if (flags != -1) {
            ::fcntl(file, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    return file;
}

int KindOf(FileHandle file, FileKind *kind) {
    struct stat status {};
    if (::fstat(file, &status) != 0) {
        return -1;
    }
    const mode_t type = status.st_mode & S_IFMT;
    *kind = type == S_IFREG    ? FileKind::kRegular
            : type == S_IFDIR  ? FileKind::kDirectory
            : type == S_IFIFO  ? FileKind::kFifo
            : type == S_IFCHR  ? FileKind::kCharacterDevice
            : type == S_IFBLK  ? FileKind::kBlockDevice
            : type == S_IFSOCK ? FileKind::kSocket
                               : FileKind::kOther;
    return 0;
}

#endif  // _WIN32

const char *KindName(FileKind kind) {
    switch (kind) {
        case FileKind::kRegular:
            return "a regular file";
        case FileKind::kDirectory:
            return "a directory";
        case FileKind::kFifo:
            return "a FIFO";
        case FileKind::kCharacterDevice:
            return "a character device";
        case FileKind::kBlockDevice:
            return "a block device";
        case FileKind::kSocket:
            return "a socket";
        case FileKind::kOther:
            break;
    }
    return "a special file";
}

}  // namespace tavri::platform
