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
        : failure_(code == TRAXR_OK ? nullptr
                                    : std::make_unique<Failure>(Failure{code, std::move(message)})) {}
    Status(const Status &other)
        : failure_(other.failure_ ? std::make_unique<Failure>(*other.failure_) : nullptr) {}
    Status(Status &&other) noexcept = default;
    Status &operator=(const Status &other) {
        if (this != &other) *this = Status(other);
        return *this;
    }
    Status &operator=(Status &&other) noexcept = default;

    bool ok() const { return failure_ == nullptr; }
    traxrStatus code() const { return failure_ ? failure_->code : TRAXR_OK; }
    const std::string &message() const { return failure_ ? failure_->message : Empty(); }

  private:
    static const std::string &Empty();

    struct Failure {
        traxrStatus code;
        std::string message;
    };
    // Success is by far the most common outcome and is returned from every
    // byte read: it is one null pointer, so making, testing and dropping one
    // is cheap.
    std::unique_ptr<Failure> failure_;
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
