#include "reader/file_source.h"

#include <cerrno>

#include "platform/file_kind.h"

namespace tavri::reader {

FileSource::~FileSource() {
    if (file_ != platform::kNoFile) {
        platform::Close(file_);
    }
}

Status FileSource::Open(const std::string &path, const char *what) {
    path_ = path;
    what_ = what;
    // Opened without waiting, so that a FIFO or a device given as a database
    // neither blocks nor is read; the kind is taken from the open handle, so
    // no other file can take the name's place in between.
    file_ = platform::OpenForReadingNoWait(path.c_str());
    if (file_ == platform::kNoFile) {
        const int error = errno;
        return Fail(TRAXR_ERR_IO, "cannot open the %s %s: %s", what_, path.c_str(),
                    platform::ErrorText(error));
    }
    platform::FileKind kind;
    if (platform::KindOf(file_, &kind) != 0) {
        const int error = errno;
        return Fail(TRAXR_ERR_IO, "cannot tell what the %s %s is: %s", what_, path.c_str(),
                    platform::ErrorText(error));
    }
    if (kind != platform::FileKind::kRegular) {
        platform::Close(file_);
        file_ = platform::kNoFile;
        return Fail(TRAXR_ERR_IO, "the %s %s is %s, not a regular file", what_, path.c_str(),
                    platform::KindName(kind));
    }
    return Refresh();
}

Status FileSource::Refresh() {
    const int64_t size = platform::Size(file_);
    if (size < 0) {
        const int error = errno;
        return Fail(TRAXR_ERR_IO, "cannot take the size of the %s %s: %s", what_, path_.c_str(),
                    platform::ErrorText(error));
    }
    size_ = static_cast<uint64_t>(size);
    return Status();
}

Status FileSource::Read(uint64_t offset, uint64_t length, uint8_t *out) const {
    if (offset > size_ || length > size_ - offset) {
        return Fail(TRAXR_ERR_TRUNCATED,
                    "the %s %s ends at %llu, before the %llu bytes at offset %llu", what_,
                    path_.c_str(), static_cast<unsigned long long>(size_),
                    static_cast<unsigned long long>(length),
                    static_cast<unsigned long long>(offset));
    }
    if (length == 0) {
        return Status();
    }
    errno = 0;
    if (!platform::ReadAt(file_, offset, out, static_cast<size_t>(length))) {
        const int error = errno;
        if (error == 0) {  // the file became shorter since its size was taken
            return Fail(TRAXR_ERR_TRUNCATED,
                        "the %s %s ended while reading %llu bytes at offset %llu", what_,
                        path_.c_str(), static_cast<unsigned long long>(length),
                        static_cast<unsigned long long>(offset));
        }
        return Fail(TRAXR_ERR_IO, "reading %llu bytes at offset %llu of the %s %s failed: %s",
                    static_cast<unsigned long long>(length),
                    static_cast<unsigned long long>(offset), what_, path_.c_str(),
                    platform::ErrorText(error));
    }
    return Status();
}

Status FileSource::Read(uint64_t offset, uint64_t length, std::vector<uint8_t> *out) const {
    if (offset > size_ || length > size_ - offset) {
        return Read(offset, length, static_cast<uint8_t *>(nullptr));
    }
    out->resize(static_cast<size_t>(length));
    return Read(offset, length, out->data());
}

}  // namespace tavri::reader
