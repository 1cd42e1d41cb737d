#include "writer/record_size.h"

#include <atomic>
#include <cstring>

#include "writer/messages.h"

namespace tavri::writer {
namespace {

std::atomic<bool> g_newer_application_reported{false};

}  // namespace

int CheckRecordSize(const char *file_name, const void *caller_record, uint32_t library_size, void *buffer,
                    const void **record) {
    if (caller_record == nullptr) {
        std::memset(buffer, 0, library_size);
        *record = buffer;
        return 0;
    }
    uint32_t caller_size = 0;
    std::memcpy(&caller_size, caller_record, sizeof caller_size);
    if (caller_size == library_size) {
        *record = caller_record;
        return 0;
    }
    if (caller_size > library_size) {
        if (!g_newer_application_reported.exchange(true)) {
            Warn("Trax writer library is older than your application!\n");
            Warn("Please upgrade the library to avoid potential problems\n");
            if (file_name != nullptr) {
                Warn("Trax fname: %s\n", file_name);
            }
        }
        *record = caller_record;
        return kRecordTooNew;
    }
    std::memcpy(buffer, caller_record, caller_size);
    std::memset(static_cast<char *>(buffer) + caller_size, 0, library_size - caller_size);
    *record = buffer;
    return 0;
}

}  // namespace tavri::writer
