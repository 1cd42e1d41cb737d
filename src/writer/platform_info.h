// The host a database is written on, as five fixed text fields; the
// creation-environment record takes its host fields from here.
#ifndef TAVRI_WRITER_PLATFORM_INFO_H
#define TAVRI_WRITER_PLATFORM_INFO_H

#include <cstddef>

namespace tavri::platform {
struct HostInfo;
}

namespace tavri::writer {

constexpr size_t kPlatformFieldSize = 257;

// 1285 bytes; every field is zero-terminated inside itself.
struct traxPlatformInfo {
    char host_name[kPlatformFieldSize];   // "Unknown" when empty
    char processor[kPlatformFieldSize];   // "Intel ??" when empty
    char os_build[kPlatformFieldSize];    // "Version ??" when empty
    char os_version[kPlatformFieldSize];  // "major.minor.patch", "0.0" when unknown
    char platform[kPlatformFieldSize];    // "WinUnknown" when empty
};
static_assert(sizeof(traxPlatformInfo) == 1285);

// Fills the record from this host: 0, or -1 without a record.
int FillPlatformInfo(traxPlatformInfo *info);

// Fills the record from host information read elsewhere.
int FillPlatformInfoFrom(traxPlatformInfo *info, const platform::HostInfo &host);

}  // namespace tavri::writer

#endif
