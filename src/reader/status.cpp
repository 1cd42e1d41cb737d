#include "reader/status.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <utility>

namespace tavri::reader {

const std::string &Status::Empty() {
    static const std::string empty;
    return empty;
}

// Messages name files, and a path can be long (a name too long to open is
// itself a reason to report), so the text is never cut.
Status Fail(traxrStatus code, const char *format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0 || static_cast<size_t>(length) < sizeof text) {
        va_end(again);
        return Status(code, length < 0 ? std::string(format) : std::string(text));
    }
    std::string long_text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(long_text.data(), long_text.size(), format, again);
    va_end(again);
    long_text.pop_back();
    return Status(code, std::move(long_text));
}

}  // namespace tavri::reader
