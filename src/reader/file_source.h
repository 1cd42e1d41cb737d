// A file opened for reading, with its size taken once so that every read can
// be checked against what is really there.
#ifndef TAVRI_READER_FILE_SOURCE_H
#define TAVRI_READER_FILE_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "reader/status.h"

namespace tavri::reader {

class FileSource {
  public:
    FileSource() = default;
    ~FileSource();
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    // IO status when the file cannot be opened; `what` names it in messages.
    Status Open(const std::string &path, const char *what);
    bool is_open() const { return file_ != platform::kNoFile; }
    // Takes the size again (a live file grows between reads).
    Status Refresh();
    uint64_t size() const { return size_; }
    const std::string &path() const { return path_; }

    // Reads [offset, offset + length); TRUNCATED when that is not all inside
    // the file, IO when the read fails.
    Status Read(uint64_t offset, uint64_t length, std::vector<uint8_t> *out) const;
    Status Read(uint64_t offset, uint64_t length, uint8_t *out) const;

  private:
    platform::FileHandle file_ = platform::kNoFile;
    uint64_t size_ = 0;
    std::string path_;
    const char *what_ = "file";
};

}  // namespace tavri::reader

#endif
