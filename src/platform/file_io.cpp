#include "platform/file_io.h"

#include <cstring>

// The POSIX side; the Windows side is in file_io_win32.cpp.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavri::platform {
namespace {
WriteFunction g_write_function = nullptr;
CommitFunction g_commit_function = nullptr;
CloseFunction g_close_function = nullptr;
}  // namespace

FileHandle CreateFile(const char *path) {
    return ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

FileHandle OpenForReading(const char *path) { return ::open(path, O_RDONLY | O_CLOEXEC); }

FileHandle OpenForReadWrite(const char *path) { return ::open(path, O_RDWR | O_CLOEXEC); }

FileHandle OpenOrCreate(const char *path) { return ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666); }

long WriteSome(FileHandle file, const void *data, size_t length) {
    if (g_write_function != nullptr) {
        return g_write_function(file, data, length);
    }
    return static_cast<long>(::write(file, data, length));
}

long ReadSome(FileHandle file, void *data, size_t length) {
    return static_cast<long>(::read(file, data, length));
}

bool ReadAt(FileHandle file, uint64_t offset, void *data, size_t length) {
    auto *out = static_cast<unsigned char *>(data);
    while (length > 0) {
        const ssize_t got = ::pread(file, out, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out += got;
        offset += static_cast<uint64_t>(got);
        length -= static_cast<size_t>(got);
    }
    return true;
}

int64_t Seek(FileHandle file, int64_t offset) { return ::lseek(file, offset, SEEK_SET); }

int64_t SeekEnd(FileHandle file) { return ::lseek(file, 0, SEEK_END); }

int64_t Tell(FileHandle file) { return ::lseek(file, 0, SEEK_CUR); }

int64_t Size(FileHandle file) {
    struct stat status {};
    if (::fstat(file, &status) != 0) {
        return -1;
    }
    return status.st_size;
}

int Truncate(FileHandle file, uint64_t length) {
    return ::ftruncate(file, static_cast<off_t>(length));
}

int Commit(FileHandle file) {
    return g_commit_function != nullptr ? g_commit_function(file) : ::fdatasync(file);
}

int Close(FileHandle file) { return g_close_function != nullptr ? g_close_function(file) : ::close(file); }

int Remove(const char *path) { return ::unlink(path); }

int Rename(const char *from, const char *to) { return std::rename(from, to); }

bool Exists(const char *path) { return ::access(path, F_OK) == 0; }

bool IsSameFile(FileHandle file, const char *path) {
    struct stat open_file {};
    struct stat named {};
    return ::fstat(file, &open_file) == 0 && ::stat(path, &named) == 0 &&
           open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

unsigned SetCreationMask(unsigned mask) { return ::umask(static_cast<mode_t>(mask)); }

void SetWriteFunction(WriteFunction function) { g_write_function = function; }

void SetCommitFunction(CommitFunction function) { g_commit_function = function; }

void SetCloseFunction(CloseFunction function) { g_close_function = function; }

}  // namespace tavri::platform

#endif  // _WIN32

namespace tavri::platform {

const char *ErrorText(int error_number) {
    const char *text = std::strerror(error_number);
    return text != nullptr ? text : "unknown error";
}

}  // namespace tavri::platform
