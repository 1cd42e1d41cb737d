#include "platform/file_kind.h"

// The Windows side; the POSIX side is in file_kind.cpp. Windows has no FIFO
// that an open could block on, so reading opens at once.
#ifdef _WIN32

#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/win32_error.h"

namespace tavri::platform {

FileHandle OpenForReadingNoWait(const char *path) { return OpenForReading(path); }

int KindOf(FileHandle file, FileKind *kind) {
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    ::SetLastError(NO_ERROR);
    const DWORD type = ::GetFileType(handle);
    if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR) {
        return FailWithLastError();
    }
    if (type == FILE_TYPE_CHAR) {
        *kind = FileKind::kCharacterDevice;
    } else if (type == FILE_TYPE_PIPE) {
        *kind = FileKind::kFifo;
    } else if (type == FILE_TYPE_DISK) {
        BY_HANDLE_FILE_INFORMATION information {};
        if (!::GetFileInformationByHandle(handle, &information)) {
            return FailWithLastError();
        }
        *kind = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory
                                                                                : FileKind::kRegular;
    } else {
        *kind = FileKind::kOther;
    }
    return 0;
}

}  // namespace tavri::platform

#endif  // _WIN32
