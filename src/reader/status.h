// Outcome of a reader step: a code from the public status set and, on
// failure, a message that names what was wrong and where.
#ifndef TAVRI_READER_STATUS_H
#define TAVRI_READER_STATUS_H

#include <memory>
#include <string>
#include <utility>

#include "tavri/trax_reader.h"

namespace tavri::reader {

class Status {
  public:
    Status() = default;
    Status(traxrStatus code, std::string message)
        : code_(code), message_(std::make_unique<std::string>(std::move(message))) {}
    Status(const Status &other)
        : code_(other.code_),
          message_(other.message_ ? std::make_unique<std::string>(*other.message_) : nullptr) {}
    Status(Status &&other) noexcept = default;
    Status &operator=(const Status &other) {
        if (this != &other) *this = Status(other);
        return *this;
    }
    Status &operator=(Status &&other) noexcept = default;

    bool ok() const { return code_ == TRAXR_OK; }
    traxrStatus code() const { return code_; }
    const std::string &message() const { return message_ ? *message_ : Empty(); }

  private:
    static const std::string &Empty();

    // Success is by far the most common outcome and is returned from every
    // byte read: it holds no string, so making and dropping one is cheap.
    traxrStatus code_ = TRAXR_OK;
    std::unique_ptr<std::string> message_;
};

// A failed status with a printf-style message.
Status Fail(traxrStatus code, const char *format, ...) __attribute__((format(printf, 2, 3)));

#define TAVRI_RETURN_IF_ERROR(expr)               \
    do {                                          \
        ::tavri::reader::Status status_ = (expr); \
        if (!status_.ok()) {                      \
            return status_;                       \
        }                                         \
    } while (0)

}  // namespace tavri::reader

#endif
