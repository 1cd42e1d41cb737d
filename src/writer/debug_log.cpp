#include "writer/debug_log.h"

#include <cstdarg>
#include <cstdio>

#include "writer/object.h"

namespace tavri::writer {

void DebugLog(txwObject *obj, const char *format, ...) {
    if (obj == nullptr || obj->debug_log == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(obj->debug_log, format, args);
    va_end(args);
}

}  // namespace tavri::writer
