// The reader's side of synchronous control: while a live file whose
// `synchronous control` is 1 is read, the reader holds an exclusive lock on
// the first byte of the lock file, the one the writer takes for every flush
// and header rewrite. The lock file is the database name followed by
// ".lock", or the path in TRAX_ENV_LOCK_FILE_LOC.
//
// Like the writer's, the lock counts nesting: the counter is 1 when free,
// 0 when held once and -n when held n + 1 times; only the outermost lock and
// unlock touch the file. A failed lock or unlock is reported on the standard
// error stream and the counter moves all the same, so that reading goes on.
// A lock file that does not exist is no failure: no writer has the file
// open (the writer makes the lock file at open and removes it at close).
//
// The wait for a lock that another process holds is bounded: 10 seconds, or
// the number of seconds in TRAX_READER_LOCK_WAIT. A lock still held then
// fails the lock with a message that names the lock file, and the counter
// stays. The lock file is open to every local user (mode 0666, so that
// other users' viewers can lock it), so anyone can hold it.
#ifndef TAVRI_READER_LOCK_H
#define TAVRI_READER_LOCK_H

#include <string>

#include "platform/file_io.h"
#include "reader/status.h"

namespace tavri::reader {

std::string LockPath(const std::string &database_path);

class ReaderLock {
  public:
    explicit ReaderLock(std::string path) : path_(std::move(path)) {}
    ~ReaderLock();
    ReaderLock(const ReaderLock &) = delete;
    ReaderLock &operator=(const ReaderLock &) = delete;

    // IO status when the lock stayed held elsewhere past the wait.
    Status Lock();
    void Unlock();
    bool held() const { return counter_ < 1; }
    // The last failure message, "" when none.
    const std::string &failure() const { return failure_; }

  private:
    std::string path_;
    platform::FileHandle file_ = platform::kNoFile;
    int counter_ = 1;
    std::string failure_;
};

}  // namespace tavri::reader

#endif
