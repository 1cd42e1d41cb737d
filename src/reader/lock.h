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
#ifndef TAVRI_READER_LOCK_H
#define TAVRI_READER_LOCK_H

#include <string>

#include "platform/file_io.h"

namespace tavri::reader {

std::string LockPath(const std::string &database_path);

class ReaderLock {
  public:
    explicit ReaderLock(std::string path) : path_(std::move(path)) {}
    ~ReaderLock();
    ReaderLock(const ReaderLock &) = delete;
    ReaderLock &operator=(const ReaderLock &) = delete;

    void Lock();
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
