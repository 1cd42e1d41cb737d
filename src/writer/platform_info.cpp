#include "writer/platform_info.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host_info.h"

namespace tavri::writer {
namespace {

// Copies the text, or the fallback when the text is empty, cut to leave the
// field's last byte zero.
void PutText(char (&field)[kPlatformFieldSize], const std::string &text, const char *fallback) {
    const char *source = text.empty() ? fallback : text.c_str();
    const size_t length = ::strnlen(source, kPlatformFieldSize - 1);
    std::memcpy(field, source, length);
    field[length] = '\0';
}

}  // namespace

int FillPlatformInfo(traxPlatformInfo *info) {
    if (info == nullptr) {
        return -1;
    }
    return FillPlatformInfoFrom(info, platform::ReadHostInfo());
}

int FillPlatformInfoFrom(traxPlatformInfo *info, const platform::HostInfo &host) {
    if (info == nullptr) {
        return -1;
    }
    std::memset(info, 0, sizeof *info);
    PutText(info->host_name, host.host_name, "Unknown");
    PutText(info->processor, host.processor, "Intel ??");
    PutText(info->os_build, host.os_build, "Version ??");
    if (host.os_major < 0) {
        PutText(info->os_version, std::string(), "0.0");
    } else {
        std::snprintf(info->os_version, sizeof info->os_version, "%d.%d.%d", host.os_major,
                      host.os_minor < 0 ? 0 : host.os_minor, host.os_patch < 0 ? 0 : host.os_patch);
    }
    PutText(info->platform, host.platform, "WinUnknown");
    return 0;
}

}  // namespace tavri::writer
