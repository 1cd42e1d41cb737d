#include "writer/platform_info.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/host_info.h"

namespace tavri::writer {
namespace {

platform::HostInfo SampleHost() {
    platform::HostInfo host;
    host.host_name = "build-07";
    host.processor = "x86_64";
    host.os_build = "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1";
    host.os_major = 6;
    host.os_minor = 1;
    host.os_patch = 76;
    host.platform = "Linux";
    return host;
}

TEST(PlatformInfoTest, FieldsSitAtTheirOffsets) {
    traxPlatformInfo info;
    std::memset(&info, 0xff, sizeof info);
    ASSERT_EQ(FillPlatformInfoFrom(&info, SampleHost()), 0);
    const auto *bytes = reinterpret_cast<const char *>(&info);
    EXPECT_STREQ(bytes + 0, "build-07");
    EXPECT_STREQ(bytes + 257, "x86_64");
    EXPECT_STREQ(bytes + 514, "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1");
    EXPECT_STREQ(bytes + 771, "6.1.76");
    EXPECT_STREQ(bytes + 1028, "Linux");
    // The record is cleared before it is filled.
    EXPECT_EQ(bytes[256], 0);
    EXPECT_EQ(bytes[1284], 0);
}

TEST(PlatformInfoTest, EmptyFieldsGetPlaceholders) {
    traxPlatformInfo info;
    ASSERT_EQ(FillPlatformInfoFrom(&info, platform::HostInfo{}), 0);
    EXPECT_STREQ(info.host_name, "Unknown");
    EXPECT_STREQ(info.processor, "Intel ??");
    EXPECT_STREQ(info.os_build, "Version ??");
    EXPECT_STREQ(info.os_version, "0.0");
    EXPECT_STREQ(info.platform, "WinUnknown");

    platform::HostInfo major_only;
    major_only.os_major = 5;
    ASSERT_EQ(FillPlatformInfoFrom(&info, major_only), 0);
    EXPECT_STREQ(info.os_version, "5.0.0");
}

TEST(PlatformInfoTest, LongTextsAreCutToTheirField) {
    platform::HostInfo host = SampleHost();
    host.host_name = std::string(300, 'h');
    host.platform = std::string(257, 'p');
    traxPlatformInfo info;
    ASSERT_EQ(FillPlatformInfoFrom(&info, host), 0);
    EXPECT_EQ(std::string(info.host_name), std::string(256, 'h'));
    EXPECT_EQ(std::string(info.platform), std::string(256, 'p'));
    EXPECT_STREQ(info.processor, "x86_64") << "the cut does not run into the next field";
}

TEST(PlatformInfoTest, NoRecordIsAnError) {
    EXPECT_EQ(FillPlatformInfo(nullptr), -1);
    EXPECT_EQ(FillPlatformInfoFrom(nullptr, SampleHost()), -1);
}

TEST(PlatformInfoTest, ThisHost) {
    traxPlatformInfo info;
    ASSERT_EQ(FillPlatformInfo(&info), 0);
    struct utsname system {};
    ASSERT_EQ(::uname(&system), 0);
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    EXPECT_STREQ(info.host_name, name[0] != '\0' ? name : "Unknown");
    EXPECT_STREQ(info.processor, system.machine);
    EXPECT_STREQ(info.os_build, system.version);
    EXPECT_STREQ(info.platform, system.sysname);
    EXPECT_EQ(std::strncmp(info.os_version, system.release, std::strlen(info.os_version)), 0)
        << info.os_version << " vs " << system.release;
}

}  // namespace
}  // namespace tavri::writer
