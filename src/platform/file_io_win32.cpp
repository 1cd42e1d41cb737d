#include "platform/file_io.h"

// The Windows side; the POSIX side is in file_io.cpp. Files are opened with
// the system call, sharing reading, writing and deletion with every other
// opener as POSIX descriptors do (a reader never keeps a writer from
// renaming or removing its side files), and then handed to the C runtime as
// descriptors in binary mode.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/win32_error.h"

// <windows.h> makes CreateFile a macro for CreateFileA.
#undef CreateFile

namespace tavri::platform {
namespace {
WriteFunction g_write_function = nullptr;
CommitFunction g_commit_function = nullptr;
CloseFunction g_close_function = nullptr;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A read-only file for a creation mask that takes away every write
// permission, as a POSIX creation with that mask would make it.
DWORD AttributesForCreation() {
    const int mask = ::_umask(0);
    ::_umask(mask);
    return (mask & _S_IWRITE) != 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
}

FileHandle Open(const char *path, DWORD access, DWORD disposition, DWORD flags, int crt_flags) {
    HANDLE handle = ::CreateFileA(path, access, kShareAll, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesA(path);
        // Opening a directory for writing is EISDIR on POSIX, not a refusal.
        errno = error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                    ? EISDIR
                    : ErrnoFromWin32(error);
        return kNoFile;
    }
    const int file = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), crt_flags | _O_BINARY);
    if (file < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
        return kNoFile;
    }
    return file;
}

HANDLE SystemHandle(FileHandle file) { return reinterpret_cast<HANDLE>(::_get_osfhandle(file)); }

}  // namespace

FileHandle CreateFile(const char *path) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, AttributesForCreation(), 0);
}

// Directories open too (the backup-semantics flag), so that readers can
// name what they were given, as on POSIX.
FileHandle OpenForReading(const char *path) {
    return Open(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, _O_RDONLY);
}

FileHandle OpenForReadWrite(const char *path) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
}

FileHandle OpenOrCreate(const char *path) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, AttributesForCreation(), 0);
}

long WriteSome(FileHandle file, const void *data, size_t length) {
    if (g_write_function != nullptr) {
        return g_write_function(file, data, length);
    }
    // One call writes at most 2^31 - 1 bytes; the callers loop on short writes.
    const unsigned count = length > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<unsigned>(length);
    return ::_write(file, data, count);
}

long ReadSome(FileHandle file, void *data, size_t length) {
    const unsigned count = length > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<unsigned>(length);
    return ::_read(file, data, count);
}

// Reads at the offset without moving the file's position, as pread does.
bool ReadAt(FileHandle file, uint64_t offset, void *data, size_t length) {
    HANDLE handle = SystemHandle(file);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    const int64_t position = ::_lseeki64(file, 0, SEEK_CUR);
    if (position < 0) {
        return false;
    }
    auto *out = static_cast<unsigned char *>(data);
    bool complete = true;
    while (length > 0) {
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD got = 0;
        if (!::ReadFile(handle, out, want, &got, &at)) {
            if (::GetLastError() != ERROR_HANDLE_EOF) {
                FailWithLastError();
            }
            complete = false;
            break;
        }
        if (got == 0) {
            complete = false;
            break;
        }
        out += got;
        offset += got;
        length -= got;
    }
    // ReadFile with an offset moves the position of a synchronous handle.
    ::_lseeki64(file, position, SEEK_SET);
    return complete;
}

int64_t Seek(FileHandle file, int64_t offset) { return ::_lseeki64(file, offset, SEEK_SET); }

int64_t SeekEnd(FileHandle file) { return ::_lseeki64(file, 0, SEEK_END); }

int64_t Tell(FileHandle file) { return ::_lseeki64(file, 0, SEEK_CUR); }

int64_t Size(FileHandle file) { return ::_filelengthi64(file); }

int Truncate(FileHandle file, uint64_t length) {
    const errno_t failed = ::_chsize_s(file, static_cast<__int64>(length));
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    return 0;
}

int Commit(FileHandle file) {
    return g_commit_function != nullptr ? g_commit_function(file) : ::_commit(file);
}

int Close(FileHandle file) { return g_close_function != nullptr ? g_close_function(file) : ::_close(file); }

int Remove(const char *path) { return ::DeleteFileA(path) ? 0 : FailWithLastError(); }

// Replaces an existing target, as rename does on POSIX.
int Rename(const char *from, const char *to) {
    return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 0 : FailWithLastError();
}

bool Exists(const char *path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool IsSameFile(FileHandle file, const char *path) {
    BY_HANDLE_FILE_INFORMATION open_file {};
    if (!::GetFileInformationByHandle(SystemHandle(file), &open_file)) {
        return false;
    }
    HANDLE named = ::CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION named_file {};
    const bool known = ::GetFileInformationByHandle(named, &named_file) != 0;
    ::CloseHandle(named);
    return known && open_file.dwVolumeSerialNumber == named_file.dwVolumeSerialNumber &&
           open_file.nFileIndexHigh == named_file.nFileIndexHigh &&
           open_file.nFileIndexLow == named_file.nFileIndexLow;
}

unsigned SetCreationMask(unsigned mask) { return static_cast<unsigned>(::_umask(static_cast<int>(mask))); }

void SetWriteFunction(WriteFunction function) { g_write_function = function; }

void SetCommitFunction(CommitFunction function) { g_commit_function = function; }

void SetCloseFunction(CloseFunction function) { g_close_function = function; }

}  // namespace tavri::platform

#endif  // _WIN32
