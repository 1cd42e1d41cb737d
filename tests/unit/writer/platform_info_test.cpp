#include "writer/platform_info.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

#include <cstring>
#include <string>

#include "platform/host_info.h"

namespace tavri::writer {
namespace {

TEST(PlatformInfoTest, FieldsSitAtTheirOffsetsCutToTheirWidth) {
    platform::HostInfo host;
    host.host_name = std::string(300, 'h');
    host.processor = "x86_64";
    host.os_build = "#1 SMP Debian";
    host.os_major = 6;
    host.os_minor = 1;
    host.os_patch = 76;
    host.platform = "Linux";
    traxPlatformInfo info;
    std::memset(&info, 0xff, sizeof info);
    ASSERT_EQ(FillPlatformInfoFrom(&info, host), 0);
    const auto *bytes = reinterpret_cast<const char *>(&info);
    EXPECT_EQ(std::string(bytes), std::string(256, 'h'));
    EXPECT_STREQ(bytes + 257, "x86_64");
    EXPECT_STREQ(bytes + 514, "#1 SMP Debian");
    EXPECT_STREQ(bytes + 771, "6.1.76");
    EXPECT_STREQ(bytes + 1028, "Linux");
    EXPECT_EQ(bytes[1284], 0) << "cleared before filling";
}

TEST(PlatformInfoTest, EmptyFieldsGetPlaceholders) {
    traxPlatformInfo info;
    ASSERT_EQ(FillPlatformInfoFrom(&info, platform::HostInfo{}), 0);
    EXPECT_STREQ(info.host_name, "Unknown");
    EXPECT_STREQ(info.processor, "Intel ??");
    EXPECT_STREQ(info.os_build, "Version ??");
    EXPECT_STREQ(info.os_version, "0.0");
    EXPECT_STREQ(info.platform, "WinUnknown");
    EXPECT_EQ(FillPlatformInfo(nullptr), -1);
}

#ifdef _WIN32
TEST(PlatformInfoTest, ThisHost) {
    traxPlatformInfo info;
    ASSERT_EQ(FillPlatformInfo(&info), 0);
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    ASSERT_TRUE(::GetComputerNameA(name, &length));
    EXPECT_STREQ(info.host_name, name);
    EXPECT_STREQ(info.platform, "WinNT");
    OSVERSIONINFOA version {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(::GetVersionExA(&version));
    EXPECT_EQ(std::string(info.os_version), std::to_string(version.dwMajorVersion) + "." +
                                                std::to_string(version.dwMinorVersion) + "." +
                                                std::to_string(version.dwBuildNumber));
    SYSTEM_INFO system {};
    ::GetSystemInfo(&system);
    EXPECT_STREQ(info.processor, system.dwProcessorType == PROCESSOR_INTEL_PENTIUM ? "Intel Pentium"
                                 : system.dwProcessorType == PROCESSOR_INTEL_486   ? "Intel 486"
                                 : system.dwProcessorType == PROCESSOR_INTEL_386   ? "Intel 386"
                                                                                   : "Intel ??")
        << "processor type " << system.dwProcessorType;
}
#else
TEST(PlatformInfoTest, ThisHost) {
    traxPlatformInfo info;
    ASSERT_EQ(FillPlatformInfo(&info), 0);
    struct utsname system {};
    ASSERT_EQ(::uname(&system), 0);
    EXPECT_STREQ(info.processor, system.machine);
    EXPECT_STREQ(info.platform, system.sysname);
}
#endif

}  // namespace
}  // namespace tavri::writer
