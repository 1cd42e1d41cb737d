// printf-style formatting into a std::string, for the routines that stand in
// for the simulator's io_printf, tf_error and tf_warning.
#ifndef TAVRI_TESTS_SUPPORT_FORMAT_TEXT_H
#define TAVRI_TESTS_SUPPORT_FORMAT_TEXT_H

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tavri::test {

// The text `format` makes of `args`; empty for a null format.
__attribute__((format(printf, 1, 0))) inline std::string FormatV(const char *format, va_list args) {
    if (format == nullptr) {
        return "";
    }
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) {
        return "";
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace tavri::test

#endif
