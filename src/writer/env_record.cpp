#include "writer/env_record.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/environment.h"
#include "writer/env_registry.h"
#include "writer/platform_info.h"

namespace tavri::writer {
namespace {

struct Field {
    size_t offset;
    size_t width;
};

constexpr Field kTimeField{0, 30};
constexpr Field kHostField{30, 20};
constexpr Field kProcessorField{50, 20};
constexpr Field kPlatformField{70, 12};
constexpr Field kVersionField{82, 50};
constexpr size_t kGlitchOffset = 132;
constexpr Field kSettingsField{134, kEnvSettingsWidth};
constexpr Field kIdentField{334, 120};
// Bytes 454-517 stay zero.

constexpr const char *kWriterIdent = "ident_txw_WIN32_D:_5.4_2.3_WIN32/0_cl_05042005";

constexpr const char *kSettings[] = {
    "TRAX_ENV_SYNC_CONTROL",     "TRAX_ENV_DUMP_SEQ_NUM", "TRAX_ENV_MAX_GLITCH_NUM",
    "TRAX_ENV_WRITER_MEM_LIMIT", "TRAX_ENV_TAVRI_LOCK",   "TRAX_ENV_LOCK_FILE_LOC",
};

// Copies the text into the (zeroed) field, leaving its last byte zero.
void PutText(unsigned char *record, Field field, std::string_view text) {
    const size_t length = text.size() < field.width - 1 ? text.size() : field.width - 1;
    std::memcpy(record + field.offset, text.data(), length);
}

// A platform record field need not end inside itself when the caller filled
// it by hand.
std::string_view PlatformText(const char (&field)[kPlatformFieldSize]) {
    return std::string_view(field, ::strnlen(field, kPlatformFieldSize));
}

// The time as ctime writes it, without the newline; always in English, as
// ctime is, whatever the process locale.
std::string TimeText(std::time_t now) {
    static constexpr const char *kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char *kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm local {};
    if (!platform::LocalTime(now, &local) || local.tm_wday < 0 || local.tm_wday > 6 ||
        local.tm_mon < 0 || local.tm_mon > 11) {
        return std::string();
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  1900 + local.tm_year);
    return text;
}

}  // namespace

std::string EnvSettingsText() {
    std::string text;
    size_t total = 0;
    for (const char *name : kSettings) {
        const char *value = TXW_GETENV(name);
        std::string item = name;
        item += '=';
        item += value != nullptr ? value : "NULL";
        total += item.size() + 2;
        if (total > kEnvSettingsWidth) {
            break;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += item;
    }
    return text;
}

void ComposeEnvironmentRecord(unsigned char *record, uint16_t max_glitch_number, std::time_t now) {
    traxPlatformInfo platform;
    FillPlatformInfo(&platform);
    ComposeEnvironmentRecordFrom(record, platform, max_glitch_number, now);
}

void ComposeEnvironmentRecordFrom(unsigned char *record, const traxPlatformInfo &platform,
                                  uint16_t max_glitch_number, std::time_t now) {
    std::memset(record, 0, kEnvRecordComposedSize);
    PutText(record, kTimeField, TimeText(now));
    PutText(record, kHostField, PlatformText(platform.host_name));
    PutText(record, kProcessorField, PlatformText(platform.processor));
    PutText(record, kPlatformField, PlatformText(platform.platform));
    std::string version(PlatformText(platform.os_version));
    version += ' ';
    version += PlatformText(platform.os_build);
    PutText(record, kVersionField, version);
    std::memcpy(record + kGlitchOffset, &max_glitch_number, sizeof max_glitch_number);
    PutText(record, kSettingsField, EnvSettingsText());
    PutText(record, kIdentField, kWriterIdent);
}

}  // namespace tavri::writer
