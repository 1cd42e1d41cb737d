#include "reader/status.h"

#include <cstdarg>
#include <cstdio>

namespace tavri::reader {

Status Fail(traxrStatus code, const char *format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return Status(code, text);
}

}  // namespace tavri::reader
