// File calls on descriptors, as the writer and reader use them. On failure
// each returns -1 and leaves the system error number in errno.
#ifndef TAVRI_PLATFORM_FILE_IO_H
#define TAVRI_PLATFORM_FILE_IO_H

#include <cstddef>
#include <cstdint>

namespace tavri::platform {

using FileHandle = int;
constexpr FileHandle kNoFile = -1;

// Create (or truncate) for reading and writing, permission 0666 before the
// process's file-creation mask.
FileHandle CreateFile(const char *path);
FileHandle OpenForReading(const char *path);
FileHandle OpenForReadWrite(const char *path);
// Opens for reading and writing, creating the file (permission 0666 before
// the mask) when it is missing; an existing file keeps its contents.
FileHandle OpenOrCreate(const char *path);

// One write or read call; the result is the byte count, 0 or -1.
long WriteSome(FileHandle file, const void *data, size_t length);
long ReadSome(FileHandle file, void *data, size_t length);

// Reads exactly `length` bytes at `offset`; false on a short read or error.
bool ReadAt(FileHandle file, uint64_t offset, void *data, size_t length);

int64_t Seek(FileHandle file, int64_t offset);  // from the start; new position or -1
int64_t SeekEnd(FileHandle file);               // to the end; new position or -1
int64_t Tell(FileHandle file);
int64_t Size(FileHandle file);
int Truncate(FileHandle file, uint64_t length);
int Commit(FileHandle file);  // make written data durable
int Close(FileHandle file);
int Remove(const char *path);
int Rename(const char *from, const char *to);
bool Exists(const char *path);
// True when `path` still names the file that is open as `file`.
bool IsSameFile(FileHandle file, const char *path);

// Sets the file-creation mask and returns the previous one.
unsigned SetCreationMask(unsigned mask);

// The system's text for an error number, or "unknown error".
const char *ErrorText(int error_number);

// Test seam: while one of these is set (null puts the system's call back),
// WriteSome, Commit and Close call it instead of the system's write,
// fdatasync and close, so that tests can make them fail the way a full disk
// or a failing device does.
using WriteFunction = long (*)(FileHandle file, const void *data, size_t length);
using CommitFunction = int (*)(FileHandle file);
using CloseFunction = int (*)(FileHandle file);
void SetWriteFunction(WriteFunction function);
void SetCommitFunction(CommitFunction function);
void SetCloseFunction(CloseFunction function);

}  // namespace tavri::platform

#endif
